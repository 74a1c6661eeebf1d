#include "support/Representative.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/HandCodec.h"

namespace orvelpdu::bench {
namespace {

constexpr int kSequenceNumber = 7;
constexpr int kTextLength = 160;
const char* const kSender = "+4915112345678";
const char* const kRecipients[] = {"+4917012345601", "+4917012345602", "+4917012345603"};
const char* const kCallback = "+4930123456";
const unsigned char kUserDataHeader[] = {0x05, 0x00, 0x03, 0x2A, 0x02, 0x01};

std::string representativeText() {
  std::string text;
  for (int i = 0; i < kTextLength; ++i) text.push_back(static_cast<char>('a' + i % 26));
  return text;
}

std::vector<std::uint8_t> bytesOf(CIPByteBuffer& buffer) {
  const unsigned char* p = buffer.getBuffer();
  return std::vector<std::uint8_t>(p, p + buffer.getLength());
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

[[noreturn]] void disagree(const char* what, const std::vector<std::uint8_t>& input,
                           const std::string& detail) {
  std::fprintf(stderr, "the hand-written codec and the library disagree: %s\n  input %s\n  %s\n",
               what, hex(input).c_str(), detail.c_str());
  std::abort();
}

// Library verdict and re-encoding of `input`; empty bytes when it refuses.
bool libraryParse(const std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& again,
                  std::string& error) {
  CIPByteBuffer in;
  in.appendBytes0(const_cast<std::uint8_t*>(input.data()), static_cast<int>(input.size()));
  textmsg::SubmitText pdu;
  again.clear();
  if (pdu.setData(in) == 0) {
    error = pdu.result().reason();
    return false;
  }
  CIPByteBuffer out;
  if (pdu.getData(out) == 0) {
    error = "re-encoding failed: " + pdu.result().reason();
    return true;
  }
  again = bytesOf(out);
  return true;
}

bool handParse(const std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& again,
               std::string& error) {
  handcodec::SubmitText message;
  std::size_t consumed = 0;
  again.clear();
  if (const char* why = handcodec::parse(input.data(), input.size(), message, consumed)) {
    error = why;
    return false;
  }
  again.resize(handcodec::encodedSize(message));
  again.resize(handcodec::encode(message, again.data()));
  return true;
}

void compareOn(const std::vector<std::uint8_t>& input, const char* what) {
  std::vector<std::uint8_t> libraryAgain;
  std::vector<std::uint8_t> handAgain;
  std::string libraryError;
  std::string handError;
  const bool libraryOk = libraryParse(input, libraryAgain, libraryError);
  const bool handOk = handParse(input, handAgain, handError);
  if (libraryOk != handOk) {
    disagree(what, input,
             "library: " + (libraryOk ? std::string("accepted") : libraryError) +
                 "; hand-written: " + (handOk ? std::string("accepted") : handError));
  }
  if (libraryOk && libraryAgain != handAgain) {
    disagree(what, input,
             "decoded content differs: library " + hex(libraryAgain) + ", hand-written " +
                 hex(handAgain));
  }
}

void putLength(std::vector<std::uint8_t>& pdu, std::size_t length) {
  for (int i = 0; i < 4; ++i)
    pdu[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
}

}  // namespace

namespace {

template <class Pdu, class Recipient>
void fill(Pdu& pdu) {
  pdu.sender = kSender;
  for (const char* address : kRecipients) pdu.recipients.add(Recipient(1, address));
  pdu.priority = 1;
  pdu.validitySeconds = 86400;
  pdu.text = representativeText().c_str();
  pdu.reference.setValue(0x1234);
  pdu.segmentCount.setValue(1);
  pdu.expiry.setValue(3600);
  pdu.callback.setValue(CString(kCallback));
  CIPByteBuffer udh;
  udh.appendBytes0(const_cast<unsigned char*>(kUserDataHeader),
                   static_cast<int>(sizeof kUserDataHeader));
  pdu.userDataHeader.setValue(udh);
  pdu.reportWanted.setValue(0);
  pdu.messageClass.setValue(1);
  pdu.setSequenceNumber(kSequenceNumber);
}

}  // namespace

void fillRepresentative(textmsg::SubmitText& pdu) {
  fill<textmsg::SubmitText, textmsg::Recipient>(pdu);
}
void fillRepresentative(onlib::SubmitText& pdu) { fill<onlib::SubmitText, onlib::Recipient>(pdu); }

handcodec::SubmitText representativeMessage() {
  handcodec::SubmitText m;
  m.sequenceNumber = kSequenceNumber;
  m.sender = kSender;
  for (const char* address : kRecipients) m.recipients.push_back({1, address});
  m.priority = 1;
  m.validitySeconds = 86400;
  m.text = representativeText();
  m.hasReference = true;
  m.reference = 0x1234;
  m.hasSegmentCount = true;
  m.segmentCount = 1;
  m.hasExpiry = true;
  m.expiry = 3600;
  m.hasCallback = true;
  m.callback = kCallback;
  m.hasUserDataHeader = true;
  m.userDataHeader.assign(std::begin(kUserDataHeader), std::end(kUserDataHeader));
  m.reportWanted = true;
  m.hasMessageClass = true;
  m.messageClass = 1;
  return m;
}

const std::vector<std::uint8_t>& representativeWire() {
  static const std::vector<std::uint8_t> wire = [] {
    textmsg::SubmitText pdu;
    fillRepresentative(pdu);
    CIPByteBuffer out;
    if (pdu.getData(out) == 0) {
      std::fprintf(stderr, "the representative PDU does not encode: %s\n",
                   pdu.result().reason().c_str());
      std::abort();
    }
    return bytesOf(out);
  }();
  return wire;
}

void checkCodecsAgree() {
  const std::vector<std::uint8_t>& wire = representativeWire();
  const handcodec::SubmitText message = representativeMessage();
  std::vector<std::uint8_t> hand(handcodec::encodedSize(message));
  hand.resize(handcodec::encode(message, hand.data()));
  if (hand != wire) disagree("encoding the representative PDU", wire, "hand-written " + hex(hand));

  compareOn(wire, "parsing the representative PDU");
  for (std::size_t cut = 0; cut < wire.size(); ++cut) {
    // As received: the command length still claims the whole PDU.
    std::vector<std::uint8_t> truncated(wire.begin(), wire.begin() + static_cast<long>(cut));
    compareOn(truncated, "a truncated PDU");
    // Cut and re-framed, so that the body's own checks are what catches it.
    if (cut >= 16) {
      putLength(truncated, cut);
      compareOn(truncated, "a PDU cut inside its body");
    }
  }
  for (std::size_t at = 0; at < wire.size(); ++at) {
    for (std::uint8_t value : {0x00, 0x0B, 0xFF}) {
      std::vector<std::uint8_t> corrupted = wire;
      corrupted[at] = value;
      compareOn(corrupted, "a PDU with one byte changed");
    }
  }
}

}  // namespace orvelpdu::bench

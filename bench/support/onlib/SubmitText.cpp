#include "SubmitText.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace onlib {
namespace {

constexpr int kMaxText = 65535;

size_t bytes(int n) { return static_cast<size_t>(n); }

std::string tagName(short tag) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(static_cast<uint16_t>(tag)));
  return text;
}

}  // namespace

SubmitText::SubmitText() : Message(kCommandId) {}

int SubmitText::getBody(CIPByteBuffer& out) {
  const int textLength = text.GetLength();
  if (textLength > kMaxText) return fail("message text longer than 65535 bytes");
  if (putCString(out, sender, "sender") == 0) return 0;
  if (recipients.getData(out) == 0) return fail("too many recipients");
  out.appendByte(priority);
  out.appendInt(validitySeconds);
  out.appendShort(encodeUnsigned(textLength));
  out.appendString0(const_cast<char*>(static_cast<const char*>(text)), textLength);
  return 1;
}

int SubmitText::setBody(CIPByteBuffer& in) {
  if (takeCString(in, sender, "sender") == 0) return 0;
  unsigned char count = 0;
  if (!orvelpdu::peekByte(in, 0, count)) return fail("body ends before the recipient count");
  if (count > RecipientList::kMaxRecipients) {
    return fail(std::to_string(count) + " recipients, at most " +
                std::to_string(RecipientList::kMaxRecipients) + " are allowed");
  }
  recipients.setData(in);
  bool whole = recipients.getCount() == count;
  for (int i = 0; whole && i < count; ++i) whole = recipients.at(i).complete();
  if (!whole) return fail("recipient list is cut short");
  if (!orvelpdu::takeByte(in, priority)) return fail("body ends before the priority");
  if (!orvelpdu::takeInt(in, validitySeconds)) return fail("body ends before the validity");
  unsigned short textLength = 0;
  if (!orvelpdu::takeShort(in, textLength)) return fail("body ends before the text length");
  if (!orvelpdu::takeBytes(in, textLength, text)) return fail("message text is cut short");
  return 1;
}

int SubmitText::getOptionalBody(CIPByteBuffer& out) {
  CTLV* const all[] = {&reference,      &segmentCount, &expiry,      &callback,
                       &userDataHeader, &reportWanted, &messageClass};
  if (callback.hasValue()) {
    CString address;
    callback.getValue(address);
    if (checkNoNul(address, "callback address") == 0) return 0;
  }
  for (CTLV* tlv : all) {
    // getData also returns 0 for a parameter without a value, which is simply not sent.
    if (tlv->hasValue() && tlv->getData(out) == 0) {
      return fail("parameter " + tagName(tlv->getTag()) + " has a value too long to frame");
    }
  }
  return 1;
}

int SubmitText::setOptionalBody(CIPByteBuffer& in) {
  // A parsed PDU carries exactly the parameters received, whatever the object held before.
  reference = CTLVShort(kReference);
  segmentCount = CTLVUByte(kSegmentCount);
  expiry = CTLVInt(kExpiry);
  callback = CTLVString(kCallback);
  userDataHeader = CTLVOctets(kUserDataHeader);
  reportWanted = CTLVEmpty(kReportWanted);
  messageClass = CTLVByte(kMessageClass);
  while (!in.isEmpty()) {
    orvelpdu::TLVFrameHead head;
    if (!orvelpdu::peekTLVFrame(in, 0, head)) return fail("optional parameter header is cut short");
    if (head.frameSize() > in.getLength())
      return fail("parameter " + tagName(head.tag) + " is cut short");
    CTLV* tlv = findOptional(head.tag);
    if (tlv == nullptr) {
      (void)orvelpdu::skipTLVFrame(in);  // whole, as just checked
      continue;
    }
    if (tlv->hasValue()) return fail("parameter " + tagName(head.tag) + " appears twice");
    // A value its type cannot hold as received (a NUL inside the callback address, bytes
    // after the report-wanted flag) would be silently changed: refuse it instead, so that an
    // accepted PDU always encodes back to what was received. Checked where the bytes lie.
    const unsigned char* value = in.getBuffer() + orvelpdu::TLVFrameHead::kSize;
    const bool altered =
        (tlv == &callback && std::memchr(value, 0, bytes(head.length)) != nullptr) ||
        (tlv == &reportWanted && head.length != 0);
    if (altered)
      return fail("parameter " + tagName(head.tag) + " has a value its type cannot carry");
    if (orvelpdu::parseTLVFrame(in, *tlv) == orvelpdu::TLVFrameResult::kTaken) continue;
    // A string parameter refuses no value: without one, its storage could not be had. That
    // is no fault of the sender, so it goes on as the allocation failure it was.
    if (tlv == &callback) throw std::bad_alloc();
    return fail("parameter " + tagName(head.tag) + " has a value of the wrong length");
  }
  return 1;
}

CTLV* SubmitText::findOptional(short tag) {
  switch (tag) {
    case kReference:
      return &reference;
    case kSegmentCount:
      return &segmentCount;
    case kExpiry:
      return &expiry;
    case kCallback:
      return &callback;
    case kUserDataHeader:
      return &userDataHeader;
    case kReportWanted:
      return &reportWanted;
    case kMessageClass:
      return &messageClass;
    default:
      return nullptr;
  }
}

}  // namespace onlib

// The OrvelPDU demo: both roads of a PDU through the library, with the example
// text-messaging protocol.
//
//   demo                 build a SubmitText, encode it, dump it, parse it back, answer it
//   demo decode HEX...   decode your own bytes (or hex read from standard input): one PDU or
//                        several back to back, each a SubmitText or a SubmitTextResp, chosen
//                        by command id; a PDU of another command id is shown from its bytes
//   demo --help          the usage
//
// Received text is shown with every byte outside printable ASCII, and the backslash, written
// as \xHH, so that a PDU cannot send escape sequences to the terminal, and a text longer than
// 160 bytes is shortened to its start and its length (common/Printable.h).
//
// Exit status: 0 on success, 2 on bad input (not hex, odd digits, malformed PDU).
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Printable.h"
#include "orvelpdu/buffer/CheckedReads.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"
#include "textmsg/WireHex.h"

namespace {

using textmsg::printable;
using textmsg::SubmitText;
using textmsg::SubmitTextResp;

const char kUsage[] =
    "usage: demo                 build, encode, dump and parse back a SubmitText\n"
    "       demo decode [HEX...] decode PDUs given as hex (or read from standard input),\n"
    "                            one or several back to back; exit status 2 on bad input\n"
    "       demo --help          this text\n"
    "Text fields are shown with bytes outside printable ASCII, and the backslash, as \\xHH;\n"
    "a field longer than 160 bytes is shown as its start and its length.\n";

void printHeader(CPDU& pdu) {
  const int status = pdu.getCommandStatus();
  std::printf("  command status   %d (0x%08X)\n", status, static_cast<unsigned>(status));
  std::printf("  sequence number  %d\n", pdu.getSequenceNumber());
}

void printSubmitText(SubmitText& pdu) {
  printHeader(pdu);
  std::printf("  sender           %s\n", printable(pdu.sender).c_str());
  for (int i = 0; i < pdu.recipients.getCount(); ++i) {
    const auto& r = pdu.recipients.at(i);
    std::printf("  recipient %d      type %u, %s\n", i + 1, r.type(),
                printable(r.address()).c_str());
  }
  std::printf("  priority         %u\n", pdu.priority);
  std::printf("  validity         %d s\n", pdu.validitySeconds);
  std::printf("  text             \"%s\"\n", printable(pdu.text).c_str());
  if (pdu.reference.hasValue()) std::printf("  reference        %d\n", pdu.reference.getValue());
  if (pdu.segmentCount.hasValue()) {
    std::printf("  segment count    %d\n", pdu.segmentCount.getValue());
  }
  if (pdu.expiry.hasValue()) std::printf("  expiry           %d\n", pdu.expiry.getValue());
  if (pdu.callback.hasValue()) {
    CString callback;
    pdu.callback.getValue(callback);
    std::printf("  callback         %s\n", printable(callback).c_str());
  }
  if (pdu.userDataHeader.hasValue()) {
    CIPByteBuffer udh;
    pdu.userDataHeader.getValue(udh);
    std::printf("  user data header %s\n", textmsg::toHex(udh).c_str());
  }
  if (pdu.reportWanted.hasValue()) std::printf("  report wanted    yes\n");
  if (pdu.messageClass.hasValue()) {
    std::printf("  message class    %u\n", pdu.messageClass.getValue());
  }
}

int runDemo() {
  std::printf("== Outgoing: build a SubmitText, number it, encode it\n");
  SubmitText request;
  request.sender = "orvel-demo";
  request.recipients.add(textmsg::Recipient(1, "+4420790000"));
  request.recipients.add(textmsg::Recipient(2, "ops@example.net"));
  request.priority = 2;
  request.validitySeconds = 3600;
  request.text = "Hello from OrvelPDU";
  request.reference.setValue(7);
  request.segmentCount.setValue(1);
  request.callback.setValue(CString("+4420790001"));
  request.reportWanted.setValue(0);
  request.assignSequenceNumber();

  CIPByteBuffer wire;
  if (request.getData(wire) == 0) {
    std::printf("encoding failed: %s\n", printable(request.result().reason()).c_str());
    return 1;
  }
  CString dump;
  wire.getHexDump(dump);
  std::printf("%u bytes, command length %d, sequence number %d\n", wire.getLength(),
              request.getCommandLength(), request.getSequenceNumber());
  std::printf("getHexDump (compact, no leading zeros):\n  %s\n", static_cast<const char*>(dump));
  std::printf("wire hex (feed it to `demo decode`):\n  %s\n", textmsg::toHex(wire).c_str());
  // The annotation comes from SubmitText's own description: offset, width, path, value.
  std::printf("annotated:\n");
  std::vector<orvelpdu::DumpRow> rows;
  SubmitText dumped;
  (void)dumped.dump(wire, rows);
  std::fputs(orvelpdu::formatDump(rows).c_str(), stdout);

  std::printf("\n== Incoming: parse the bytes into a fresh SubmitText\n");
  SubmitText received;
  CIPByteBuffer in(wire);
  if (received.setData(in) == 0) {
    std::printf("parsing failed: %s\n", printable(received.result().reason()).c_str());
    return 1;
  }
  printSubmitText(received);

  std::printf("\n== Answer: a SubmitTextResp carries the request's sequence number\n");
  SubmitTextResp response(received);
  response.messageId = "MSG-0001";
  CIPByteBuffer answer;
  response.getData(answer);
  std::printf("  response %s\n", textmsg::toHex(answer).c_str());
  std::printf("  response.equals(request) = %d\n", response.equals(&request));
  return 0;
}

// A PDU of a command id the example does not know, shown from its bytes alone: the header,
// then the body as TLV frames or as octets. Its bytes are removed from `bytes`.
int showGenerically(CIPByteBuffer& bytes, int number, const std::string& which) {
  orvelpdu::HeaderFields header;
  const orvelpdu::Result sound =
      orvelpdu::checkHeaderFields(bytes, orvelpdu::LengthRule::kWithinHeld, header);
  if (!sound.ok()) {
    std::fprintf(stderr, "%smalformed PDU: %s\n", which.c_str(), printable(sound.reason()).c_str());
    return 2;
  }
  CIPByteBuffer pdu;
  bytes.readBytes(static_cast<int>(header.commandLength), pdu);
  bytes.removeBytes0(static_cast<int>(header.commandLength));
  if (number > 1) std::printf("\n");
  std::printf("command id 0x%08X, not one of the example's: shown from its bytes\n",
              static_cast<unsigned>(header.commandId));
  std::fputs(orvelpdu::formatDump(orvelpdu::dumpGeneric(pdu)).c_str(), stdout);
  return 0;
}

// Decodes the PDU at the front of `bytes` and shows it; the first of several is numbered 1.
// Returns 0, or 2 with the reason on standard error.
int decodeOne(CIPByteBuffer& bytes, int number) {
  const std::string which = "demo decode: PDU " + std::to_string(number) + ": ";
  int id = 0;
  const unsigned headerLength = orvelpdu::HeaderFields::kSize;
  if (bytes.getLength() < headerLength || !orvelpdu::peekInt(bytes, 4, id)) {
    std::fprintf(stderr, "%s%u bytes cannot hold a PDU header\n", which.c_str(), bytes.getLength());
    return 2;
  }
  SubmitText submit;
  SubmitTextResp response;
  CPDU* pdu = nullptr;
  if (id == static_cast<int>(SubmitText::kCommandId)) {
    pdu = &submit;
  } else if (id == static_cast<int>(SubmitTextResp::kCommandId)) {
    pdu = &response;
  } else {
    return showGenerically(bytes, number, which);
  }
  if (pdu->setData(bytes) == 0) {
    std::fprintf(
        stderr, "%smalformed PDU: %s\n", which.c_str(),
        printable(pdu == &submit ? submit.result().reason() : response.result().reason()).c_str());
    return 2;
  }
  if (number > 1) std::printf("\n");
  if (pdu == &submit) {
    std::printf("SubmitText\n");
    printSubmitText(submit);
  } else {
    std::printf("SubmitTextResp\n");
    printHeader(response);
    std::printf("  message id       %s\n", printable(response.messageId).c_str());
  }
  return 0;
}

// Decodes every PDU the hex holds, back to back, stopping at the first that fails.
int decode(const std::string& hex) {
  CIPByteBuffer bytes;
  std::string error;
  if (!textmsg::fromHex(hex, bytes, error)) {
    std::fprintf(stderr, "demo decode: %s\n", printable(error).c_str());
    return 2;
  }
  int number = 1;
  do {
    if (decodeOne(bytes, number++) != 0) return 2;
  } while (!bytes.isEmpty());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "decode") {
    std::string hex;
    if (argc == 2) {
      hex.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }
    for (int i = 2; i < argc; ++i) hex += argv[i];
    return decode(hex);
  }
  if (argc >= 2) {
    std::fprintf(stderr, "demo: unknown argument \"%s\"\n",
                 printable(std::string(argv[1])).c_str());
    std::fputs(kUsage, stderr);
    return 2;
  }
  return runDemo();
}

// Receiving (the guide "Receiving"): a byte stream read from a file descriptor in chunks, cut
// into PDUs by the framer, each dispatched by its command id and parsed strictly, failures
// answered with their reason; and a PDU dumped field by field.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Check.h"
#include "Notify.h"

namespace {

struct Tally {
  int delivered = 0;
  int refused = 0;
  std::string lastReason;
};
Tally tally;

void deliver(const Notify& notify) {
  ++tally.delivered;
  std::printf("notify, %d recipient(s): %s\n", notify.to.getCount(), notify.text.c_str());
}

void reject(const orvelpdu::HeaderFields& header, const orvelpdu::Result& why) {
  ++tally.refused;
  tally.lastReason = why.reason();
  std::printf("refused PDU %u: %s\n", header.sequenceNumber, tally.lastReason.c_str());
}

// [dispatch]
// One whole PDU from the framer: its header is sound (the framer checked the command length),
// so the command id chooses the type, whose parse decides the rest.
void handle(CIPByteBuffer& pdu) {
  orvelpdu::HeaderFields header;
  if (!orvelpdu::checkHeaderFields(pdu, orvelpdu::LengthRule::kExactlyHeld, header)) return;
  switch (header.commandId) {
    case Notify::kCommandId: {
      Notify notify;
      orvelpdu::Result result = notify.parse(pdu);
      if (result.ok()) {
        deliver(notify);
      } else {
        reject(header, result);  // result.field() names the field, such as "to[1].value"
      }
      break;
    }
    default:
      reject(header, orvelpdu::Result(orvelpdu::Outcome::kUnknownCommandId, "command_id"));
  }
}
// [dispatch]

// [framer]
// Reads PDUs from `fd` until the peer closes; false when the stream breaks its framing.
bool receive(int fd) {
  orvelpdu::PDUFramer framer(64 * 1024);  // no PDU of this protocol is larger
  CIPByteBuffer pdu;
  unsigned char chunk[4096];
  ssize_t n;
  while ((n = read(fd, chunk, sizeof chunk)) > 0) {
    framer.feed(chunk, static_cast<std::size_t>(n));
    orvelpdu::PDUFramer::Result r;
    while ((r = framer.next(pdu)) == orvelpdu::PDUFramer::Result::kFrame) handle(pdu);
    if (r == orvelpdu::PDUFramer::Result::kFramingError) return false;  // disconnect
  }
  return true;
}
// [framer]

// Writes `bytes` into a pipe, closes it and receives from its other end.
bool receiveBytes(const CIPByteBuffer& bytes) {
  int ends[2];
  snippets::check(pipe(ends) == 0, "a pipe");
  const ssize_t written = write(ends[1], bytes.getBuffer(), bytes.getLength());
  snippets::check(written == static_cast<ssize_t>(bytes.getLength()), "the bytes fit the pipe");
  close(ends[1]);
  const bool framed = receive(ends[0]);
  close(ends[0]);
  return framed;
}

Notify sample(const char* text) {
  Notify notify;
  Address address;
  address.type = 1;
  address.value = "+4790000000";
  (void)notify.to.add(address);
  notify.text = text;
  notify.assignSequenceNumber();
  return notify;
}

}  // namespace

int main() {
  // Two good PDUs around one whose recipient count (offset 20) claims 9 of at most 8, and one
  // of a command id nobody handles.
  CIPByteBuffer stream;
  Notify first = sample("first");
  snippets::check(first.encode(stream).ok(), "the first encodes");
  const unsigned int bad = stream.getLength();
  snippets::check(sample("bad count").encode(stream).ok(), "the second encodes");
  stream.getBuffer()[bad + 20] = 9;
  snippets::check(sample("third").encode(stream).ok(), "the third encodes");
  const unsigned char unknown[] = {0, 0, 0, 16, 0, 0, 0, 0x77, 0, 0, 0, 0, 0, 0, 0, 9};
  stream.appendBytes(const_cast<unsigned char*>(unknown), sizeof unknown);

  snippets::check(receiveBytes(stream), "the stream keeps its framing");
  snippets::check(tally.delivered == 2, "two PDUs delivered");
  snippets::check(tally.refused == 2, "two refused");
  snippets::check(tally.lastReason.find("command_id") != std::string::npos,
                  "the unknown command id is named");

  // A command length of 8 cannot hold a header: the framing is lost.
  CIPByteBuffer broken;
  snippets::check(first.encode(broken).ok(), "encodes again");
  const unsigned char tooShort[] = {0, 0, 0, 8, 0, 0, 1, 2};
  broken.appendBytes(const_cast<unsigned char*>(tooShort), sizeof tooShort);
  snippets::check(!receiveBytes(broken), "a command length below 16 breaks the framing");
  snippets::check(tally.delivered == 3, "the PDU before the bad header is delivered");

  // [dump]
  CIPByteBuffer bytes;
  (void)first.encode(bytes);
  Notify notify;
  std::vector<orvelpdu::DumpRow> rows;
  orvelpdu::Result parsed = notify.dump(bytes, rows);  // `bytes` is left as it was
  std::printf("%s", orvelpdu::formatDump(rows).c_str());
  // [dump]
  snippets::check(parsed.ok() && bytes.getLength() > 0, "dumped without consuming");
  snippets::check(rows.size() >= 8, "a row per header field, the count, the item's fields...");
  return 0;
}

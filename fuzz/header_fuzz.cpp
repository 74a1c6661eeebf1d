// Fuzzing of the PDU header: arbitrary bytes are parsed by a CPDUHeader on its own and through
// a PDU's header step, then encoded again. The 16 bytes written must be the first 16 bytes of
// the input, or, on shorter input, the whole 4-byte fields it held followed by the fill value
// CD CD CD CD for each field it did not; the parse must consume exactly those 16 bytes (or
// everything), and the PDU must release and unregister the header it registered.
#include <cstdint>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/pdu/CPDU.h"
#include "orvelpdu/pdu/CPDUHeader.h"

namespace {

using orvelpdu::fuzz::contentOf;

constexpr size_t kHeaderLength = 16;

using orvelpdu::fuzz::check;

// A PDU with no body of its own: the header step is the whole of its wire form.
class HeaderOnlyPdu : public CPDU {
 public:
  int setData(CIPByteBuffer& buffer) override { return setHeader(buffer); }
  int getData(CIPByteBuffer& buffer) override { return getHeader(buffer); }
};

CIPByteBuffer bufferOf(const uint8_t* data, size_t size) {
  CIPByteBuffer b;
  b.appendBytes0(const_cast<unsigned char*>(data), static_cast<int>(size));
  return b;
}

// The 16 bytes a header parsed from `data` encodes back to.
std::vector<uint8_t> expectedWire(const uint8_t* data, size_t size) {
  std::vector<uint8_t> wire(kHeaderLength, 0xCD);
  const size_t whole = size >= kHeaderLength ? kHeaderLength : size / 4 * 4;
  for (size_t i = 0; i < whole; ++i) wire[i] = data[i];
  return wire;
}

// What is left of the input once the header has been taken.
std::vector<uint8_t> expectedRest(const uint8_t* data, size_t size) {
  if (size <= kHeaderLength) return {};
  return std::vector<uint8_t>(data + kHeaderLength, data + size);
}

int fieldAt(const std::vector<uint8_t>& wire, size_t offset) {
  return static_cast<int>(orvelpdu::fuzz::loadBig(wire, offset, 4));
}

void fuzzHeader(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> wire = expectedWire(data, size);
  CIPByteBuffer in = bufferOf(data, size);
  CPDUHeader header;
  check(header.setData(in) == 1, "setData result");
  check(contentOf(in) == expectedRest(data, size), "bytes left after the header");
  check(header.getCommandLength() == fieldAt(wire, 0), "command length");
  check(header.getCommandId() == fieldAt(wire, 4), "command id");
  check(header.getCommandStatus() == fieldAt(wire, 8), "command status");
  check(header.getSequenceNumber() == fieldAt(wire, 12), "sequence number");

  // Encoding appends behind what the buffer holds, leaving it alone.
  CIPByteBuffer out = bufferOf(data, size % 5);
  check(header.getData(out) == 1, "getData result");
  std::vector<uint8_t> expected(data, data + size % 5);
  expected.insert(expected.end(), wire.begin(), wire.end());
  check(contentOf(out) == expected, "re-encoded header");

  // Copies are independent values that encode alike.
  CPDUHeader copy(header);
  CPDUHeader assigned;
  assigned = header;
  header.setCommandId(header.getCommandId() ^ 1);
  CIPByteBuffer a;
  CIPByteBuffer b;
  copy.getData(a);
  assigned.getData(b);
  check(contentOf(a) == wire && contentOf(b) == wire, "copies of the header");
}

void fuzzPdu(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> wire = expectedWire(data, size);
  const int registered = _CountMemory();
  {
    HeaderOnlyPdu pdu;
    CIPByteBuffer in = bufferOf(data, size);
    check(pdu.setData(in) == 1, "PDU setHeader result");
    check(_CountMemory() == registered + 1, "the PDU registers its header once");
    check(contentOf(in) == expectedRest(data, size), "bytes left after the PDU header");
    // The received number is kept: an unforced draw must not replace it.
    pdu.assignSequenceNumber();
    check(pdu.getSequenceNumber() == fieldAt(wire, 12), "received sequence number kept");

    HeaderOnlyPdu shared(pdu);
    CIPByteBuffer out;
    check(shared.getData(out) == 1, "PDU getHeader result");
    check(contentOf(out) == wire, "PDU re-encoded header");
    check(shared.equals(&pdu) == 1, "a copy shares the header");
    check(_CountMemory() == registered + 1, "copies register nothing more");
  }
  check(_CountMemory() == registered, "the PDU's header is unregistered");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  fuzzHeader(data, size);
  fuzzPdu(data, size);
  return 0;
}

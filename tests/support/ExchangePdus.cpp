#include "support/ExchangePdus.h"

#include <algorithm>

#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/buffer/CheckedReads.h"

namespace orvelpdu::test {

bool pingPairs(std::uint32_t responseId, std::uint32_t requestId) {
  return responseId == (requestId | 0x80000000u);
}

int Note::setData(CIPByteBuffer& in) {
  setHeader(in);
  CString t;
  if (!takeCString(in, t)) return 0;
  text.assign(static_cast<const char*>(t), static_cast<size_t>(t.GetLength()));
  return 1;
}

int Note::getData(CIPByteBuffer& out) {
  setCommandId(static_cast<int>(kCommandId));
  getHeader(out);
  out.appendString0(text.data(), static_cast<int>(text.size()));
  out.appendByte(0);
  return 1;
}

std::vector<unsigned char> wireOf(std::uint32_t commandId, std::uint32_t sequenceNumber,
                                  const std::vector<unsigned char>& body) {
  // Sized once for header and body: growing a 16-byte vector by insert trips GCC 12's
  // array-bounds warning at -O2 (a false positive inside std::vector).
  std::vector<unsigned char> bytes(16 + body.size());
  detail::storeBig32(bytes.data(), static_cast<std::uint32_t>(16 + body.size()));
  detail::storeBig32(bytes.data() + 4, commandId);
  detail::storeBig32(bytes.data() + 8, 0);
  detail::storeBig32(bytes.data() + 12, sequenceNumber);
  std::copy(body.begin(), body.end(), bytes.begin() + 16);
  return bytes;
}

std::vector<unsigned char> pingWire(std::uint32_t commandId, std::uint32_t sequenceNumber,
                                    std::uint32_t value) {
  std::vector<unsigned char> body(4);
  detail::storeBig32(body.data(), value);
  return wireOf(commandId, sequenceNumber, body);
}

}  // namespace orvelpdu::test

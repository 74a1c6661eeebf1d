#include "orvelpdu/pdu/Sealing.h"

#include <climits>

#include "orvelpdu/buffer/ByteOrder.h"

namespace orvelpdu {
namespace {

constexpr unsigned int kHeaderLength = 16;

}  // namespace

bool sealCommandLength(CPDU& pdu, CIPByteBuffer& out, unsigned int start) {
  const unsigned int end = out.getLength();
  if (start > end || end - start < kHeaderLength || end - start > INT_MAX) return false;
  const unsigned int length = end - start;
  // The PDU first: it may have to create its header, which can throw.
  pdu.setCommandLength(static_cast<int>(length));
  detail::storeBig32(out.getBuffer() + start, length);
  return true;
}

void cutBack(CIPByteBuffer& out, unsigned int start) {
  // Shrinking drops bytes from the end and never allocates, so it is safe while an exception
  // is on its way out. An encoder that removed bytes left nothing of its own to drop.
  if (out.getLength() > start) out.resize(static_cast<int>(start));
}

bool encodeSealed(CPDU& pdu, CIPByteBuffer& out) {
  return encodeSealed(pdu, out, [&pdu](CIPByteBuffer& b) { return pdu.getData(b) != 0; });
}

}  // namespace orvelpdu

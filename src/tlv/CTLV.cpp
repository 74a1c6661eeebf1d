#include "orvelpdu/tlv/CTLV.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "buffer/BufferAccess.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"

const int CTLV::DONT_CHECK_LIMIT;

namespace orvelpdu::detail {
namespace {

constexpr long long kMaxValueLength = 65535;
// Tag and length fields.
constexpr unsigned int kFrameLength = 4;
constexpr unsigned int kLengthOffset = 2;

}  // namespace
}  // namespace orvelpdu::detail

using orvelpdu::detail::kFrameLength;
using orvelpdu::detail::kLengthOffset;
using orvelpdu::detail::kMaxValueLength;

// ---- Construction ----

CTLV::CTLV(const CTLV& other) = default;

CTLV& CTLV::operator=(const CTLV& other) = default;

CTLV::~CTLV() = default;

// ---- Serialisation ----

int CTLV::sealFrame(CIPByteBuffer& buffer, unsigned int start) {
  const unsigned int end = buffer.getLength();
  // A getValueData that broke its contract and removed bytes leaves no frame to patch.
  if (end < start + kFrameLength) {
    if (end > start) buffer.resize(static_cast<int>(start));
    return 0;
  }
  const long long valueLength = static_cast<long long>(end) - start - kFrameLength;
  if (valueLength > kMaxValueLength) {
    // Shrinking only drops bytes from the end and never allocates.
    buffer.resize(static_cast<int>(start));
    return 0;
  }
  orvelpdu::detail::storeBig16(buffer.getBuffer() + start + kLengthOffset,
                               static_cast<uint16_t>(valueLength));
  return 1;
}

// ---- Members ----

int CTLV::equals(const CTLV* other) const { return other != nullptr && other->tag == tag ? 1 : 0; }

int CTLV::getLength() {
  if (!hasValue()) return 0;
  CIPByteBuffer scratch;
  getValueData(scratch);
  return static_cast<int>(scratch.getLength());
}

int CTLV::checkLength(int min, int max, int length) {
  return min <= length && length <= max ? 1 : 0;
}

int CTLV::checkLength(int min, int max, const CIPByteBuffer& buffer) {
  return checkLength(min, max, static_cast<int>(buffer.getLength()));
}

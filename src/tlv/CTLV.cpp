#include "orvelpdu/tlv/CTLV.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "buffer/BufferAccess.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"

const int CTLV::DONT_CHECK_LIMIT = -1;

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

CTLV::CTLV() : CTLV(0, DONT_CHECK_LIMIT, DONT_CHECK_LIMIT) {}

CTLV::CTLV(short tlvTag) : CTLV(tlvTag, DONT_CHECK_LIMIT, DONT_CHECK_LIMIT) {}

CTLV::CTLV(int min, int max) : CTLV(0, min, max) {}

CTLV::CTLV(short tlvTag, int min, int max)
    : CIPByteData(), tag(tlvTag), valueSet(0), minLength(min), maxLength(max) {}

CTLV::CTLV(const CTLV& other) = default;

CTLV& CTLV::operator=(const CTLV& other) = default;

CTLV::~CTLV() = default;

// ---- Serialisation ----

int CTLV::setData(CIPByteBuffer& buffer) {
  short wireTag;
  int length;
  if (buffer.getLength() >= kFrameLength) {
    // The whole frame is there: tag and length come off as one field, one check and one
    // removal instead of two each.
    const auto frame = static_cast<uint32_t>(buffer.removeInt());
    wireTag = static_cast<short>(static_cast<uint16_t>(frame >> 16));
    length = static_cast<int>(frame & 0xFFFFu);
  } else {
    // A short frame reads field by field, so that each field gets its own fill value.
    wireTag = buffer.removeShort();
    length = decodeUnsigned(buffer.removeShort());
  }
  {
    // The value is parsed where it lies: the scratch buffer shows the next `length` bytes of
    // `buffer` (all that remain, when fewer do) without copying them, and they leave `buffer`
    // once setValueData is done with them, also when it throws.
    CIPByteBuffer value;
    orvelpdu::detail::BufferAccess::lendFront(buffer, length, value);
    try {
      setValueData(value);
    } catch (...) {
      value.empty();
      buffer.removeBytes0(length);
      throw;
    }
  }
  buffer.removeBytes0(length);
  tag = wireTag;
  return 1;
}

int CTLV::getData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  const unsigned int start = buffer.getLength();
  // Shrinking only drops bytes from the end and never allocates, so it is safe on the way
  // out of a failed allocation.
  const auto restore = [&buffer, start] { buffer.resize(static_cast<int>(start)); };
  try {
    // The tag and a zero length as one 4-byte field (a single room check): the length is
    // known only once the value has been written behind it, and is patched in below.
    buffer.appendInt(static_cast<int>(static_cast<uint32_t>(static_cast<uint16_t>(tag)) << 16));
    getValueData(buffer);
  } catch (...) {
    restore();
    throw;
  }
  const unsigned int end = buffer.getLength();
  // A getValueData that broke its contract and removed bytes leaves no frame to patch.
  if (end < start + kFrameLength) {
    if (end > start) restore();
    return 0;
  }
  const long long valueLength = static_cast<long long>(end) - start - kFrameLength;
  if (valueLength > kMaxValueLength) {
    restore();
    return 0;
  }
  // The length field written over the placeholder, as appendShort would have written it.
  orvelpdu::detail::storeBig16(
      buffer.getBuffer() + start + kLengthOffset,
      static_cast<uint16_t>(encodeUnsigned(static_cast<int>(valueLength))));
  return 1;
}

// ---- Members ----

void CTLV::setTag(short newTag) { tag = newTag; }

short CTLV::getTag() const { return tag; }

int CTLV::hasValue() const { return valueSet; }

void CTLV::markValueSet() { valueSet = 1; }

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

int CTLV::checkLength(int length) const {
  const int min = minLength == DONT_CHECK_LIMIT ? 0 : minLength;
  const int max = maxLength == DONT_CHECK_LIMIT ? INT_MAX : maxLength;
  return checkLength(min, max, length);
}

int CTLV::checkLength(const CIPByteBuffer& buffer) const {
  return checkLength(static_cast<int>(buffer.getLength()));
}

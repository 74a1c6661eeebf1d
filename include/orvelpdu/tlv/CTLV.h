// CTLV is the abstract base of the optional parameters a PDU carries after its body: one
// tag-length-value item each. It holds the tag, whether a value is present, and a pair of
// length limits, and it reads and writes the frame; the value bytes belong to the concrete
// types through setValueData and getValueData.
//
// Wire format shared by every TLV:
//   tag     2 bytes  the bit pattern of the tag, big-endian
//   length  2 bytes  unsigned, big-endian: the number of value bytes that follow (0..65535)
//   value   length   the concrete type's value form
// A TLV without a value contributes no bytes at all; a present but empty value is the four
// frame bytes with length 0. Tag 0x0204 with the value 00 01 is 02 04 00 02 00 01.
//
// State: once a value is present (markValueSet, a successful setValueData, a constructor or
// setValue of a concrete type) nothing clears it except assignment from an object without
// one. CTLV owns no heap storage and copies field by field.
//
// Failure: getData returns 0 and writes nothing when there is no value, and also when the
// value is longer than the 16-bit length field can state (65,535 bytes), since a truncated
// length would desynchronise every field after it. setData always returns 1; whether a value
// was taken shows in hasValue(). std::bad_alloc from the buffer operations passes through;
// getData then leaves the output buffer as it was, and setData leaves the tag unchanged.
//
// Fixed-width values (CTLVByte, CTLVUByte, CTLVShort, CTLVInt): the limits are the width, so
// setValueData takes a value of exactly that many bytes and refuses any other length with
// result 0, leaving the buffer, the value and the value-set flag untouched; inside setData a
// refusal shows only in hasValue(). getValue returns the stored value whether or not one was
// set (0 for a fresh object). They own no heap storage; std::bad_alloc from the buffer passes
// through with the value-set flag as it was.
//
// An object is used by one thread at a time.
//
// Binary interface. The frame's encoding and parsing (getData, setData) are defined inline
// below, and the concrete types' constructors and value code in their headers, so that a TLV
// whose concrete type the caller's code knows is framed and parsed without a call; the library
// still exports each of them. The data members of CTLV and of every concrete TLV
// are therefore part of the ABI, as the buffer's are.
#ifndef ORVELPDU_TLV_CTLV_H_
#define ORVELPDU_TLV_CTLV_H_

#include <climits>
#include <cstdint>
#include <new>

#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/export.h"

class ORVELPDU_API CTLV : public CIPByteData {
 public:
  // Tag 0 unless given, no value; limits DONT_CHECK_LIMIT (none) unless given.
  ORVELPDU_INLINE_API CTLV();
  ORVELPDU_INLINE_API explicit CTLV(short tlvTag);
  ORVELPDU_INLINE_API CTLV(int min, int max);
  ORVELPDU_INLINE_API CTLV(short tlvTag, int min, int max);
  // Copy the tag, the value-set flag and both limits.
  CTLV(const CTLV& other);
  CTLV& operator=(const CTLV& other);
  ~CTLV() override;

  // Parses one TLV from the front of `buffer`: removes the tag and the length, hands the next
  // `length` bytes (all that remain, when fewer do) to setValueData in a scratch buffer that
  // holds exactly them (shown in place, not copied), then removes them from `buffer`, also
  // when setValueData throws. Its verdict shows only in hasValue(); the tag is taken whether
  // or not the value was. On a frame shorter than four bytes the tag and length read as the
  // buffer's fill values (0xCDCD) and the buffer ends empty. Returns 1.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setData(CIPByteBuffer& buffer) override;
  // Appends this TLV to `buffer`. Returns 1; 0 with `buffer` unchanged when no value is
  // present or the value is longer than 65,535 bytes.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getData(CIPByteBuffer& buffer) override;
  // Takes the value from `buffer`, which holds exactly the value bytes of one TLV.
  // Returns 1 when the value was taken, 0 when it was refused.
  virtual int setValueData(CIPByteBuffer& buffer) = 0;
  // Appends the value bytes to `buffer`. getData relies on this appending the same bytes on
  // every call and having no other effect.
  virtual int getValueData(CIPByteBuffer& buffer) = 0;

  ORVELPDU_INLINE_API void setTag(short tlvTag);
  ORVELPDU_INLINE_API short getTag() const;
  // 1 once a value is present, else 0.
  ORVELPDU_INLINE_API int hasValue() const;
  ORVELPDU_INLINE_API void markValueSet();
  // 1 when `other` is not null and carries the same tag; values, limits and classes are not
  // compared.
  int equals(const CTLV* other) const;
  // The number of value bytes getData would frame: 0 without a value, else what getValueData
  // writes into an empty buffer. Never stored: each call encodes the value anew. Reports the
  // true length also for a value too long to frame.
  int getLength();

  // 1 when min <= length <= max (signed, both ends inclusive); -1 is not special here.
  static int checkLength(int min, int max, int length);
  static int checkLength(int min, int max, const CIPByteBuffer& buffer);
  // The same test against this object's limits, where a DONT_CHECK_LIMIT minimum counts as 0
  // and a DONT_CHECK_LIMIT maximum as 2147483647, so a negative length always fails.
  ORVELPDU_INLINE_API int checkLength(int length) const;
  ORVELPDU_INLINE_API int checkLength(const CIPByteBuffer& buffer) const;

 private:
  // getData's end: checks the frame that starts at `start` and writes its length field, or
  // takes it back (see getData). Returns getData's result.
  int sealFrame(CIPByteBuffer& buffer, unsigned int start);

  // The limit value that stands for "no limit".
  static const int DONT_CHECK_LIMIT = -1;

  short tag;
  int valueSet;
  int minLength;
  int maxLength;
};

// ---- Inline frame and members ----

inline int CTLV::setData(CIPByteBuffer& buffer) {
  short wireTag;
  int length;
  if (buffer.getLength() >= 4) {
    // The whole frame is there: tag and length come off as one field, one check and one
    // removal instead of two each.
    const auto frame = static_cast<std::uint32_t>(buffer.removeInt());
    wireTag = static_cast<short>(static_cast<std::uint16_t>(frame >> 16));
    length = static_cast<int>(frame & 0xFFFFu);
  } else {
    // A short frame reads field by field, so that each field gets its own fill value.
    wireTag = buffer.removeShort();
    length = static_cast<std::uint16_t>(buffer.removeShort());
  }
  {
    // The value is parsed where it lies: the scratch buffer shows the next `length` bytes of
    // `buffer` (all that remain, when fewer do) without copying them, and they leave `buffer`
    // once setValueData is done with them, also when it throws.
    alignas(CIPByteBuffer) unsigned char storage[sizeof(CIPByteBuffer)];
    CIPByteBuffer& value = *::new (static_cast<void*>(storage)) CIPByteBuffer;
    orvelpdu::detail::LentFront::lend(buffer, length, value);
    try {
      setValueData(value);
    } catch (...) {
      orvelpdu::detail::LentFront::end(value);
      buffer.removeBytes0(length);
      throw;
    }
    orvelpdu::detail::LentFront::end(value);
  }
  buffer.removeBytes0(length);
  tag = wireTag;
  return 1;
}

inline int CTLV::getData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  const unsigned int start = buffer.getLength();
  try {
    // The tag and a zero length as one 4-byte field (a single room check): the length is
    // known only once the value has been written behind it, and is patched in below.
    buffer.appendInt(
        static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(tag)) << 16));
    getValueData(buffer);
  } catch (...) {
    // Shrinking only drops bytes from the end and never allocates.
    buffer.resize(static_cast<int>(start));
    throw;
  }
  const unsigned int end = buffer.getLength();
  // The common case, a frame of 4 to 65,539 bytes, is patched here; sealFrame takes the rest.
  if (end - start - 4 <= 65535u) {
    orvelpdu::detail::storeBig16(buffer.getBuffer() + start + 2,
                                 static_cast<std::uint16_t>(end - start - 4));
    return 1;
  }
  return sealFrame(buffer, start);
}

inline void CTLV::setTag(short newTag) { tag = newTag; }

inline short CTLV::getTag() const { return tag; }

inline int CTLV::hasValue() const { return valueSet; }

inline void CTLV::markValueSet() { valueSet = 1; }

inline int CTLV::checkLength(int length) const {
  const int min = minLength == DONT_CHECK_LIMIT ? 0 : minLength;
  const int max = maxLength == DONT_CHECK_LIMIT ? INT_MAX : maxLength;
  return min <= length && length <= max ? 1 : 0;
}

inline int CTLV::checkLength(const CIPByteBuffer& buffer) const {
  return checkLength(static_cast<int>(buffer.getLength()));
}

// ---- Inline constructors ----

inline CTLV::CTLV() : CTLV(0, DONT_CHECK_LIMIT, DONT_CHECK_LIMIT) {}

inline CTLV::CTLV(short tlvTag) : CTLV(tlvTag, DONT_CHECK_LIMIT, DONT_CHECK_LIMIT) {}

inline CTLV::CTLV(int min, int max) : CTLV(0, min, max) {}

inline CTLV::CTLV(short tlvTag, int min, int max)
    : CIPByteData(), tag(tlvTag), valueSet(0), minLength(min), maxLength(max) {}

#endif  // ORVELPDU_TLV_CTLV_H_

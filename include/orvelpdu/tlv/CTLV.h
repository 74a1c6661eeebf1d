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
#ifndef ORVELPDU_TLV_CTLV_H_
#define ORVELPDU_TLV_CTLV_H_

#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/export.h"

class CIPByteBuffer;

class ORVELPDU_API CTLV : public CIPByteData {
 public:
  // Tag 0 unless given, no value; limits DONT_CHECK_LIMIT (none) unless given.
  CTLV();
  explicit CTLV(short tlvTag);
  CTLV(int min, int max);
  CTLV(short tlvTag, int min, int max);
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
  int setData(CIPByteBuffer& buffer) override;
  // Appends this TLV to `buffer`. Returns 1; 0 with `buffer` unchanged when no value is
  // present or the value is longer than 65,535 bytes.
  int getData(CIPByteBuffer& buffer) override;
  // Takes the value from `buffer`, which holds exactly the value bytes of one TLV.
  // Returns 1 when the value was taken, 0 when it was refused.
  virtual int setValueData(CIPByteBuffer& buffer) = 0;
  // Appends the value bytes to `buffer`. getData relies on this appending the same bytes on
  // every call and having no other effect.
  virtual int getValueData(CIPByteBuffer& buffer) = 0;

  void setTag(short tlvTag);
  short getTag() const;
  // 1 once a value is present, else 0.
  int hasValue() const;
  void markValueSet();
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
  int checkLength(int length) const;
  int checkLength(const CIPByteBuffer& buffer) const;

 private:
  // The limit value that stands for "no limit".
  static const int DONT_CHECK_LIMIT;

  short tag;
  int valueSet;
  int minLength;
  int maxLength;
};

#endif  // ORVELPDU_TLV_CTLV_H_

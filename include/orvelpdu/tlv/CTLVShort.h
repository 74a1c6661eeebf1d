// CTLVShort is a TLV whose value is a signed 16-bit number (limits 2, 2), big-endian on the
// wire: -2 is FF FE.
//
// setValueData takes a value of exactly two bytes and refuses any other length with result 0,
// leaving the buffer, the value and the value-set flag untouched; inside CTLV::setData a refusal
// shows only in hasValue(). getValueData writes nothing and returns 0 when no value is set.
// getValue returns the stored value whether or not one was set (0 for a fresh object). Owns no heap
// storage; std::bad_alloc from the buffer passes through with the value-set flag as it was.
#ifndef ORVELPDU_TLV_CTLVSHORT_H_
#define ORVELPDU_TLV_CTLVSHORT_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVShort : public CTLV {
 public:
  // Tag 0 unless given; only the constructor that takes a value marks it set.
  CTLVShort();
  explicit CTLVShort(short tag);
  CTLVShort(short tag, short value);
  CTLVShort(const CTLVShort& other);
  CTLVShort& operator=(const CTLVShort& other);
  ~CTLVShort() override;

  int setValueData(CIPByteBuffer& buffer) override;
  int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value and marks it set.
  void setValue(short newValue);
  short getValue() const;

 private:
  short value;
};

#endif  // ORVELPDU_TLV_CTLVSHORT_H_

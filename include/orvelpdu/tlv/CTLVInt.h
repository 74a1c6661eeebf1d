// CTLVInt is a TLV whose value is a signed 32-bit number (limits 4, 4), big-endian on the wire.
//
// setValueData takes a value of exactly four bytes and refuses any other length with result 0,
// leaving the buffer, the value and the value-set flag untouched; inside CTLV::setData a refusal
// shows only in hasValue(). getValueData writes nothing and returns 0 when no value is set.
// getValue returns the stored value whether or not one was set (0 for a fresh object). Owns no heap
// storage; std::bad_alloc from the buffer passes through with the value-set flag as it was.
#ifndef ORVELPDU_TLV_CTLVINT_H_
#define ORVELPDU_TLV_CTLVINT_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVInt : public CTLV {
 public:
  // Tag 0 unless given; only the constructor that takes a value marks it set.
  CTLVInt();
  explicit CTLVInt(short tag);
  CTLVInt(short tag, int value);
  CTLVInt(const CTLVInt& other);
  CTLVInt& operator=(const CTLVInt& other);
  ~CTLVInt() override;

  int setValueData(CIPByteBuffer& buffer) override;
  int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value and marks it set.
  void setValue(int newValue);
  int getValue() const;

 private:
  int value;
};

#endif  // ORVELPDU_TLV_CTLVINT_H_

// CTLVByte is a TLV whose value is one byte (limits 1, 1): the byte as it is on the wire.
// getValueData writes nothing and returns 0 when no value is set. The rules every fixed-width
// value follows are stated once in CTLV.h.
#ifndef ORVELPDU_TLV_CTLVBYTE_H_
#define ORVELPDU_TLV_CTLVBYTE_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVByte : public CTLV {
 public:
  // Tag 0 unless given; only the constructor that takes a value marks it set.
  ORVELPDU_INLINE_API CTLVByte();
  ORVELPDU_INLINE_API explicit CTLVByte(short tlvTag);
  ORVELPDU_INLINE_API CTLVByte(short tlvTag, unsigned char initial);
  CTLVByte(const CTLVByte& other);
  CTLVByte& operator=(const CTLVByte& other);
  ~CTLVByte() override;

  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setValueData(CIPByteBuffer& buffer) override;
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value and marks it set.
  ORVELPDU_INLINE_API void setValue(unsigned char newValue);
  ORVELPDU_INLINE_API unsigned char getValue() const;

 private:
  unsigned char value;
};

// ---- Inline value code ----

inline int CTLVByte::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = buffer.removeByte();
  markValueSet();
  return 1;
}

inline int CTLVByte::getValueData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  buffer.appendByte(value);
  return 1;
}

inline void CTLVByte::setValue(unsigned char newValue) {
  value = newValue;
  markValueSet();
}

inline unsigned char CTLVByte::getValue() const { return value; }

// ---- Inline constructors ----

inline CTLVByte::CTLVByte() : CTLV(1, 1), value(0) {}

inline CTLVByte::CTLVByte(short tlvTag) : CTLV(tlvTag, 1, 1), value(0) {}

inline CTLVByte::CTLVByte(short tlvTag, unsigned char initial)
    : CTLV(tlvTag, 1, 1), value(initial) {
  markValueSet();
}

#endif  // ORVELPDU_TLV_CTLVBYTE_H_

// CTLVInt is a TLV whose value is a signed 32-bit number (limits 4, 4), big-endian on the wire.
// getValueData writes nothing and returns 0 when no value is set. The rules every fixed-width
// value follows are stated once in CTLV.h.
#ifndef ORVELPDU_TLV_CTLVINT_H_
#define ORVELPDU_TLV_CTLVINT_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVInt : public CTLV {
 public:
  // Tag 0 unless given; only the constructor that takes a value marks it set.
  ORVELPDU_INLINE_API CTLVInt();
  ORVELPDU_INLINE_API explicit CTLVInt(short tlvTag);
  ORVELPDU_INLINE_API CTLVInt(short tlvTag, int initial);
  CTLVInt(const CTLVInt& other);
  CTLVInt& operator=(const CTLVInt& other);
  ~CTLVInt() override;

  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setValueData(CIPByteBuffer& buffer) override;
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value and marks it set.
  ORVELPDU_INLINE_API void setValue(int newValue);
  ORVELPDU_INLINE_API int getValue() const;

 private:
  int value;
};

// ---- Inline value code ----

inline int CTLVInt::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = buffer.removeInt();
  markValueSet();
  return 1;
}

inline int CTLVInt::getValueData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  buffer.appendInt(value);
  return 1;
}

inline void CTLVInt::setValue(int newValue) {
  value = newValue;
  markValueSet();
}

inline int CTLVInt::getValue() const { return value; }

// ---- Inline constructors ----

inline CTLVInt::CTLVInt() : CTLV(4, 4), value(0) {}

inline CTLVInt::CTLVInt(short tlvTag) : CTLV(tlvTag, 4, 4), value(0) {}

inline CTLVInt::CTLVInt(short tlvTag, int initial) : CTLV(tlvTag, 4, 4), value(initial) {
  markValueSet();
}

#endif  // ORVELPDU_TLV_CTLVINT_H_

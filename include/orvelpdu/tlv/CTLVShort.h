// CTLVShort is a TLV whose value is a signed 16-bit number (limits 2, 2), big-endian on the
// wire: -2 is FF FE. getValueData writes nothing and returns 0 when no value is set. The rules
// every fixed-width value follows are stated once in CTLV.h.
#ifndef ORVELPDU_TLV_CTLVSHORT_H_
#define ORVELPDU_TLV_CTLVSHORT_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVShort : public CTLV {
 public:
  // Tag 0 unless given; only the constructor that takes a value marks it set.
  ORVELPDU_INLINE_API CTLVShort();
  ORVELPDU_INLINE_API explicit CTLVShort(short tlvTag);
  ORVELPDU_INLINE_API CTLVShort(short tlvTag, short initial);
  CTLVShort(const CTLVShort& other);
  CTLVShort& operator=(const CTLVShort& other);
  ~CTLVShort() override;

  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setValueData(CIPByteBuffer& buffer) override;
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value and marks it set.
  ORVELPDU_INLINE_API void setValue(short newValue);
  ORVELPDU_INLINE_API short getValue() const;

 private:
  short value;
};

// ---- Inline value code ----

inline int CTLVShort::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = buffer.removeShort();
  markValueSet();
  return 1;
}

inline int CTLVShort::getValueData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  buffer.appendShort(value);
  return 1;
}

inline void CTLVShort::setValue(short newValue) {
  value = newValue;
  markValueSet();
}

inline short CTLVShort::getValue() const { return value; }

// ---- Inline constructors ----

inline CTLVShort::CTLVShort() : CTLV(2, 2), value(0) {}

inline CTLVShort::CTLVShort(short tlvTag) : CTLV(tlvTag, 2, 2), value(0) {}

inline CTLVShort::CTLVShort(short tlvTag, short initial) : CTLV(tlvTag, 2, 2), value(initial) {
  markValueSet();
}

#endif  // ORVELPDU_TLV_CTLVSHORT_H_

// CTLVOctets is a TLV whose value is a string of bytes, written as they are; its TLV length
// is the number of bytes. The object owns its value buffer: copies hold their own bytes and
// the destructor releases them.
//
// Limits are none unless given, and they are the caller's to check (checkLength): no value is
// ever refused because of its length, so setValueData always returns 1. CTLV::getData still
// refuses to frame a value longer than 65,535 bytes.
//
// Failure: std::bad_alloc from the buffer operations passes through; setValue and
// setValueData then leave the value, the value-set flag and the source buffer as they were,
// and operator= leaves the target as it was.
#ifndef ORVELPDU_TLV_CTLVOCTETS_H_
#define ORVELPDU_TLV_CTLVOCTETS_H_

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVOctets : public CTLV {
 public:
  // Tag 0 unless given, no limits unless given, empty value, no value set.
  ORVELPDU_INLINE_API CTLVOctets();
  ORVELPDU_INLINE_API explicit CTLVOctets(short tlvTag);
  ORVELPDU_INLINE_API CTLVOctets(short tlvTag, int min, int max);
  // The value is a copy of `bytes`, marked set also when `bytes` is empty; the limits are
  // not applied to it. The caller's buffer is not changed.
  ORVELPDU_INLINE_API CTLVOctets(short tlvTag, CIPByteBuffer bytes);
  ORVELPDU_INLINE_API CTLVOctets(short tlvTag, int min, int max, CIPByteBuffer bytes);
  // Deep copies: the bytes are copied, never shared.
  CTLVOctets(const CTLVOctets& other);
  CTLVOctets& operator=(const CTLVOctets& other);
  ~CTLVOctets() override;

  // As setValue(buffer); returns 1.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setValueData(CIPByteBuffer& buffer) override;
  // Appends the value bytes when a value is set, else nothing; returns 1.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getValueData(CIPByteBuffer& buffer) override;

  // Moves the bytes: when `bytes` holds any, they become the value (the previous value is
  // released) and `bytes` is left empty; when it holds none, the previous value stays. In
  // both cases the value is marked set.
  void setValue(CIPByteBuffer& bytes);
  // When a value is set, `out` becomes a copy of it; otherwise `out` is left unchanged.
  void getValue(CIPByteBuffer& out) const;

 private:
  CIPByteBuffer value;
};

// ---- Inline value code ----

inline int CTLVOctets::setValueData(CIPByteBuffer& buffer) {
  setValue(buffer);
  return 1;
}

inline int CTLVOctets::getValueData(CIPByteBuffer& buffer) {
  if (hasValue()) buffer.appendBuffer(&value);
  return 1;
}

// ---- Inline constructors ----

inline CTLVOctets::CTLVOctets() : CTLV(), value() {}

inline CTLVOctets::CTLVOctets(short tlvTag) : CTLV(tlvTag), value() {}

inline CTLVOctets::CTLVOctets(short tlvTag, int min, int max) : CTLV(tlvTag, min, max), value() {}

inline CTLVOctets::CTLVOctets(short tlvTag, CIPByteBuffer bytes) : CTLV(tlvTag), value(bytes) {
  markValueSet();
}

inline CTLVOctets::CTLVOctets(short tlvTag, int min, int max, CIPByteBuffer bytes)
    : CTLV(tlvTag, min, max), value(bytes) {
  markValueSet();
}

#endif  // ORVELPDU_TLV_CTLVOCTETS_H_

// CTLVUByte is a TLV whose value is an unsigned byte (limits 1, 1), held one width up as a
// short so that 200 reads back as 200, not -56.
//
// setValue stores its argument unrestricted: 300 stays 300 in getValue(), and only the low
// 8 bits go on the wire (2C). A parsed value is 0 to 255. getValueData always appends the one
// byte and returns 1, also without a value; CTLV::getData and getLength never call it then.
// The rules every fixed-width value follows are stated once in CTLV.h.
#ifndef ORVELPDU_TLV_CTLVUBYTE_H_
#define ORVELPDU_TLV_CTLVUBYTE_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVUByte : public CTLV {
 public:
  // Tag 0 unless given, no value. There is no constructor that takes a value.
  ORVELPDU_INLINE_API CTLVUByte();
  ORVELPDU_INLINE_API explicit CTLVUByte(short tlvTag);
  CTLVUByte(const CTLVUByte& other);
  CTLVUByte& operator=(const CTLVUByte& other);
  ~CTLVUByte() override;

  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setValueData(CIPByteBuffer& buffer) override;
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value as given and marks it set.
  ORVELPDU_INLINE_API void setValue(short newValue);
  ORVELPDU_INLINE_API short getValue() const;

 private:
  short value;
};

// ---- Inline value code ----

inline int CTLVUByte::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = decodeUnsigned(buffer.removeByte());
  markValueSet();
  return 1;
}

inline int CTLVUByte::getValueData(CIPByteBuffer& buffer) {
  buffer.appendByte(encodeUnsigned(value));
  return 1;
}

inline void CTLVUByte::setValue(short newValue) {
  value = newValue;
  markValueSet();
}

inline short CTLVUByte::getValue() const { return value; }

// ---- Inline constructors ----

inline CTLVUByte::CTLVUByte() : CTLV(1, 1), value(0) {}

inline CTLVUByte::CTLVUByte(short tlvTag) : CTLV(tlvTag, 1, 1), value(0) {}

#endif  // ORVELPDU_TLV_CTLVUBYTE_H_

// CTLVEmpty is a presence flag: a TLV whose value never goes on the wire (limits 0, 0). With a
// value it encodes as the four frame bytes with length 0; without one it is not written.
//
// setValueData accepts any value bytes, ignores and leaves them, and marks the value set
// with the value 1; it always returns 1. getValueData writes nothing and always returns 0.
// The int value is the caller's own: setValue stores it and the constructor that takes it
// marks it set, but it is not encoded. Owns no heap storage.
#ifndef ORVELPDU_TLV_CTLVEMPTY_H_
#define ORVELPDU_TLV_CTLVEMPTY_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVEmpty : public CTLV {
 public:
  // Tag 0 unless given; only the constructor that takes a value marks it set.
  ORVELPDU_INLINE_API CTLVEmpty();
  ORVELPDU_INLINE_API explicit CTLVEmpty(short tlvTag);
  ORVELPDU_INLINE_API CTLVEmpty(short tlvTag, int initial);
  CTLVEmpty(const CTLVEmpty& other);
  CTLVEmpty& operator=(const CTLVEmpty& other);
  ~CTLVEmpty() override;

  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setValueData(CIPByteBuffer& buffer) override;
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value and marks it set.
  ORVELPDU_INLINE_API void setValue(int newValue);
  ORVELPDU_INLINE_API int getValue() const;

 private:
  int value;
};

// ---- Inline value code ----

inline int CTLVEmpty::setValueData(CIPByteBuffer&) {
  value = 1;
  markValueSet();
  return 1;
}

inline int CTLVEmpty::getValueData(CIPByteBuffer&) { return 0; }

inline void CTLVEmpty::setValue(int newValue) {
  value = newValue;
  markValueSet();
}

inline int CTLVEmpty::getValue() const { return value; }

// ---- Inline constructors ----

inline CTLVEmpty::CTLVEmpty() : CTLV(0, 0), value(0) {}

inline CTLVEmpty::CTLVEmpty(short tlvTag) : CTLV(tlvTag, 0, 0), value(0) {}

inline CTLVEmpty::CTLVEmpty(short tlvTag, int initial) : CTLV(tlvTag, 0, 0), value(initial) {
  markValueSet();
}

#endif  // ORVELPDU_TLV_CTLVEMPTY_H_

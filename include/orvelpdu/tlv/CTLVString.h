// CTLVString is a TLV whose value is a character string, written as its GetLength()
// characters with no terminating zero byte; its TLV length is the number of characters. The
// string is held by value, so copies are independent.
//
// Parsing takes the characters up to the first zero byte of the value, or all of them when
// there is none, never reading past the held bytes: 61 62 00 63 gives "ab". A string makes a
// round trip through getData and setData unchanged as long as it holds no zero character.
//
// Limits are none unless given, and they are the caller's to check (checkLength): no value is
// ever refused because of its length. CTLV::getData still refuses to frame a value longer
// than 65,535 bytes.
//
// Failure: setValueData catches std::bad_alloc from the string's allocation and returns 0
// with the previous value and value-set flag intact. setValue and the constructors let a
// failed string copy pass to the caller, setValue leaving the object as it was.
#ifndef ORVELPDU_TLV_CTLVSTRING_H_
#define ORVELPDU_TLV_CTLVSTRING_H_

#include <new>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVString : public CTLV {
 public:
  // Tag 0 unless given, no limits unless given, empty string, no value set.
  ORVELPDU_INLINE_API CTLVString();
  ORVELPDU_INLINE_API explicit CTLVString(short tlvTag);
  ORVELPDU_INLINE_API CTLVString(short tlvTag, int min, int max);
  // The value is a copy of `s`, marked set; the limits are not applied to it.
  ORVELPDU_INLINE_API CTLVString(short tlvTag, const CString& s);
  ORVELPDU_INLINE_API CTLVString(short tlvTag, int min, int max, const CString& s);
  CTLVString(const CTLVString& other);
  CTLVString& operator=(const CTLVString& other);
  ~CTLVString() override;

  // The value becomes the text at the front of `buffer` (see above), marked set, and that
  // text is removed together with the zero byte that ends it, if any; an empty buffer gives
  // the empty string. Returns 1, or 0 when the string could not be allocated, which leaves
  // the object and the buffer as they were.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int setValueData(CIPByteBuffer& buffer) override;
  // Appends the string's characters, also when no value is set (then the current string,
  // empty for a fresh object). Returns 1.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int getValueData(CIPByteBuffer& buffer) override;

  // The value becomes a copy of `s`, marked set.
  void setValue(const CString& s);
  // `out` becomes a copy of the value, whether or not one is set.
  void getValue(CString& out) const;

 private:
  CString value;
};

// ---- Inline value code ----

inline int CTLVString::setValueData(CIPByteBuffer& buffer) {
  try {
    // The value is the C-string field the bytes hold; its one allocation, should it fail,
    // leaves the string and the buffer as they were.
    buffer.removeCString(value);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  markValueSet();
  return 1;
}

inline int CTLVString::getValueData(CIPByteBuffer& buffer) {
  // Written by the string's own length count, so getValueData leaves the value untouched
  // (appendCString(CString&) would recount it at its first zero character).
  const char* text = value;
  buffer.appendString0(const_cast<char*>(text), value.GetLength());
  return 1;
}

// ---- Inline constructors ----

inline CTLVString::CTLVString() : CTLV(), value() {}

inline CTLVString::CTLVString(short tlvTag) : CTLV(tlvTag), value() {}

inline CTLVString::CTLVString(short tlvTag, int min, int max) : CTLV(tlvTag, min, max), value() {}

inline CTLVString::CTLVString(short tlvTag, const CString& s) : CTLV(tlvTag), value(s) {
  markValueSet();
}

inline CTLVString::CTLVString(short tlvTag, int min, int max, const CString& s)
    : CTLV(tlvTag, min, max), value(s) {
  markValueSet();
}

#endif  // ORVELPDU_TLV_CTLVSTRING_H_

#include "orvelpdu/tlv/CTLVString.h"

#include <new>

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVString::CTLVString() : CTLV(), value() {}

CTLVString::CTLVString(short tag) : CTLV(tag), value() {}

CTLVString::CTLVString(short tag, int min, int max) : CTLV(tag, min, max), value() {}

CTLVString::CTLVString(short tag, const CString& s) : CTLV(tag), value(s) { markValueSet(); }

CTLVString::CTLVString(short tag, int min, int max, const CString& s)
    : CTLV(tag, min, max), value(s) {
  markValueSet();
}

CTLVString::CTLVString(const CTLVString& other) = default;

CTLVString& CTLVString::operator=(const CTLVString& other) {
  if (&other == this) return *this;
  // The string first: should its copy fail, the object is left entirely as it was.
  value = other.value;
  CTLV::operator=(other);
  return *this;
}

CTLVString::~CTLVString() = default;

int CTLVString::setValueData(CIPByteBuffer& buffer) {
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

int CTLVString::getValueData(CIPByteBuffer& buffer) {
  // Written by the string's own length count, so getValueData leaves the value untouched
  // (appendCString(CString&) would recount it at its first zero character).
  const char* text = value;
  buffer.appendString0(const_cast<char*>(text), value.GetLength());
  return 1;
}

void CTLVString::setValue(const CString& s) {
  value = s;
  markValueSet();
}

void CTLVString::getValue(CString& out) const { out = value; }

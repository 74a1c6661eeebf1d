#include "orvelpdu/tlv/CTLVString.h"

#include <new>

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVString::CTLVString(const CTLVString& other) = default;

CTLVString& CTLVString::operator=(const CTLVString& other) {
  if (&other == this) return *this;
  // The string first: should its copy fail, the object is left entirely as it was.
  value = other.value;
  CTLV::operator=(other);
  return *this;
}

CTLVString::~CTLVString() = default;

void CTLVString::setValue(const CString& s) {
  value = s;
  markValueSet();
}

void CTLVString::getValue(CString& out) const { out = value; }

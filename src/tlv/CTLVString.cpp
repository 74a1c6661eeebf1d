#include "orvelpdu/tlv/CTLVString.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "base/StringAccess.h"
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
  const int held = static_cast<int>(buffer.getLength());
  // Read through the const overload: the bytes are looked at where they lie, never copied.
  const unsigned char* bytes = std::as_const(buffer).getBuffer();
  int text = 0;
  if (held > 0) {
    const void* nul = std::memchr(bytes, 0, static_cast<size_t>(held));
    text = nul == nullptr ? held : static_cast<int>(static_cast<const unsigned char*>(nul) - bytes);
  }
  try {
    // The only step that allocates, and a failed allocation leaves the string as it was;
    // everything after it cannot fail.
    orvelpdu::detail::StringAccess::assign(value, reinterpret_cast<const char*>(bytes),
                                           static_cast<size_t>(text));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  buffer.removeBytes0(text < held ? text + 1 : text);
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

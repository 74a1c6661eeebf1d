// CString is an 8-bit character string whose length count may include NUL bytes. It is the
// text type of the library's interface (C-string fields, string TLVs, the hex dump).
//
// GetBuffer/ReleaseBuffer give raw access: GetBuffer(n) returns writable storage for at least
// n characters plus a NUL; ReleaseBuffer(-1) then recounts the length up to the first NUL,
// ReleaseBuffer(n) sets it to n. The pointer from GetBuffer or the conversion to const char*
// is valid until the string is next changed. Allocation failure throws std::bad_alloc and
// leaves the string unchanged. A string holds at most 2^31 - 1 characters, what GetLength can
// count: a text that would make it longer is refused the same way, never cut short.
//
// Binary interface. The accessors the buffer's C-string fields use (GetLength, IsEmpty, Empty,
// ReleaseBuffer, the conversion to const char*) are defined inline below; the
// library still exports each of them. The one data member, a std::string of the C++ library's
// current ABI, is therefore part of this library's ABI: it may change only with the library's
// major version (its SONAME).
#ifndef ORVELPDU_BASE_CSTRING_H_
#define ORVELPDU_BASE_CSTRING_H_

#include <cstddef>
#include <cstring>
#include <string>

#include "orvelpdu/export.h"

namespace orvelpdu::detail {
class StringAccess;
}  // namespace orvelpdu::detail

class ORVELPDU_API CString {
 public:
  CString() = default;
  // REQUIRES: text is null or NUL-terminated; null gives the empty string.
  CString(const char* text);  // NOLINT(google-explicit-constructor): a string literal is a CString
  CString(const CString& other) = default;
  CString& operator=(const CString& other) = default;
  CString& operator=(const char* text);
  CString& operator+=(const char* text);

  ORVELPDU_INLINE_API int GetLength() const;
  ORVELPDU_INLINE_API bool IsEmpty() const;
  ORVELPDU_INLINE_API void Empty();

  // REQUIRES: minLength >= 0. Keeps the current characters; grows the length to minLength
  // when shorter, with NUL characters.
  char* GetBuffer(int minLength);
  // REQUIRES: newLength is -1 or at most the length that GetBuffer made room for.
  ORVELPDU_INLINE_API void ReleaseBuffer(int newLength = -1);

  ORVELPDU_INLINE_API operator const char*() const;  // NOLINT(google-explicit-constructor)

  bool operator==(const char* text) const;
  bool operator==(const CString& other) const;

 private:
  // The library's own parsers fill a string in one copy through it (no client can).
  friend class orvelpdu::detail::StringAccess;

  std::string text_;
};

// ---- Inline accessors ----

inline int CString::GetLength() const { return static_cast<int>(text_.size()); }

inline bool CString::IsEmpty() const { return text_.empty(); }

inline void CString::Empty() { text_.clear(); }

// The common case, a buffer filled to the length asked for, changes nothing.
inline void CString::ReleaseBuffer(int newLength) {
  const std::size_t n =
      newLength < 0 ? std::strlen(text_.c_str()) : static_cast<std::size_t>(newLength);
  if (n != text_.size()) text_.resize(n);
}

inline CString::operator const char*() const { return text_.c_str(); }

namespace orvelpdu::detail {

// How the library's parsers, some of them inline in its headers, fill a string in one copy.
// Not for clients.
class StringAccess {
 public:
  // `s` becomes exactly the `count` characters at `text` (NUL characters included). On
  // std::bad_alloc `s` is left as it was.
  // REQUIRES: text readable for count characters, count <= 2^31 - 1; text may not lie
  // inside `s`.
  static void assign(CString& s, const char* text, std::size_t count) {
    s.text_.assign(text, count);
  }
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_BASE_CSTRING_H_

// CString is an 8-bit character string whose length count may include NUL bytes. It is the
// text type of the library's interface (C-string fields, string TLVs, the hex dump).
//
// GetBuffer/ReleaseBuffer give raw access: GetBuffer(n) returns writable storage for at least
// n characters plus a NUL; ReleaseBuffer(-1) then recounts the length up to the first NUL,
// ReleaseBuffer(n) sets it to n. The pointer from GetBuffer or the conversion to const char*
// is valid until the string is next changed. Allocation failure throws std::bad_alloc and
// leaves the string unchanged. A string holds at most 2^31 - 1 characters, what GetLength can
// count: a text that would make it longer is refused the same way, never cut short.
#ifndef ORVELPDU_BASE_CSTRING_H_
#define ORVELPDU_BASE_CSTRING_H_

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

  int GetLength() const;
  bool IsEmpty() const;
  void Empty();

  // REQUIRES: minLength >= 0. Keeps the current characters; grows the length to minLength
  // when shorter, with NUL characters.
  char* GetBuffer(int minLength);
  // REQUIRES: newLength is -1 or at most the length that GetBuffer made room for.
  void ReleaseBuffer(int newLength = -1);

  operator const char*() const;  // NOLINT(google-explicit-constructor)

  bool operator==(const char* text) const;
  bool operator==(const CString& other) const;

 private:
  // The library's own parsers fill a string in one copy through it (no client can).
  friend class orvelpdu::detail::StringAccess;

  std::string text_;
};

#endif  // ORVELPDU_BASE_CSTRING_H_

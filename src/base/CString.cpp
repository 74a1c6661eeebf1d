#include "orvelpdu/base/CString.h"

#include <climits>
#include <cstring>
#include <new>

namespace {

// The length of `text` (0 for null), refused with std::bad_alloc when adding it to `held`
// characters would pass what GetLength's int can count: such a text is never cut short.
std::size_t countedLength(const char* text, std::size_t held = 0) {
  const std::size_t n = text == nullptr ? 0 : std::strlen(text);
  if (n > static_cast<std::size_t>(INT_MAX) - held) throw std::bad_alloc();
  return n;
}

}  // namespace

CString::CString(const char* text) : text_(text == nullptr ? "" : text, countedLength(text)) {}

CString& CString::operator=(const char* text) {
  const std::size_t n = countedLength(text);
  text_.assign(text == nullptr ? "" : text, n);
  return *this;
}

CString& CString::operator+=(const char* text) {
  const std::size_t n = countedLength(text, text_.size());
  if (n > 0) text_.append(text, n);
  return *this;
}

bool CString::operator==(const char* text) const { return text_ == (text == nullptr ? "" : text); }

bool CString::operator==(const CString& other) const { return text_ == other.text_; }

// Out of line on purpose: inlined, GCC 12 at -O2 takes the returned pointer for the string's
// 16-byte inline storage and warns (-Wstringop-overflow) on every caller that copies into it.
char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) text_.resize(static_cast<std::size_t>(minLength));
  return text_.data();
}

#include "orvelpdu/base/CString.h"

#include <cstring>

CString::CString(const char* text) : text_(text == nullptr ? "" : text) {}

CString& CString::operator=(const char* text) {
  text_.assign(text == nullptr ? "" : text);
  return *this;
}

CString& CString::operator+=(const char* text) {
  if (text != nullptr) text_.append(text);
  return *this;
}

int CString::GetLength() const { return static_cast<int>(text_.size()); }

bool CString::IsEmpty() const { return text_.empty(); }

void CString::Empty() { text_.clear(); }

char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) text_.resize(static_cast<size_t>(minLength));
  return text_.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) {
    text_.resize(std::strlen(text_.c_str()));
  } else {
    text_.resize(static_cast<size_t>(newLength));
  }
}

CString::operator const char*() const { return text_.c_str(); }

bool CString::operator==(const char* text) const { return text_ == (text == nullptr ? "" : text); }

bool CString::operator==(const CString& other) const { return text_ == other.text_; }

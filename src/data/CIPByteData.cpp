#include "orvelpdu/data/CIPByteData.h"

#include <cstdint>
#include <cstring>

CIPByteData::CIPByteData(const CIPByteData&) = default;

CIPByteData& CIPByteData::operator=(const CIPByteData&) = default;

CIPByteData::~CIPByteData() = default;

int CIPByteData::checkRange(int minimum, int value, int maximum) {
  return minimum <= value && value <= maximum ? 1 : 0;
}

int CIPByteData::checkString(int minimum, int length, int maximum) {
  return checkRange(minimum, length, maximum);
}

int CIPByteData::checkCString(char* text, int minimum, int maximum) {
  if (text == nullptr) return 0;
  // Counted in 64 bits: a text of 2^31 - 1 characters must not wrap to a negative count.
  const long long counted = static_cast<long long>(std::strlen(text)) + 1;
  return minimum <= counted && counted <= maximum ? 1 : 0;
}

int CIPByteData::checkCString(char* text, int maximum) { return checkCString(text, 1, maximum); }

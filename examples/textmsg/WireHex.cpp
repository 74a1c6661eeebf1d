#include "WireHex.h"

#include <cctype>

namespace textmsg {

std::string toHex(const CIPByteBuffer& buffer) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  const unsigned char* p = buffer.getBuffer();
  for (unsigned int i = 0; i < buffer.getLength(); ++i) {
    out.push_back(kDigits[p[i] >> 4]);
    out.push_back(kDigits[p[i] & 0x0F]);
  }
  return out;
}

bool fromHex(const std::string& text, CIPByteBuffer& out, std::string& error) {
  CIPByteBuffer bytes;
  int high = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isspace(c)) continue;
    if (!std::isxdigit(c)) {
      error = "not a hex digit at position " + std::to_string(i + 1) + ": '" +
              std::string(1, static_cast<char>(c)) + "'";
      return false;
    }
    const int digit = std::isdigit(c) ? c - '0' : std::toupper(c) - 'A' + 10;
    if (high < 0) {
      high = digit;
    } else {
      bytes.appendByte(static_cast<unsigned char>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) {
    error = "odd number of hex digits";
    return false;
  }
  out = bytes;
  return true;
}

}  // namespace textmsg

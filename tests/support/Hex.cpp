#include "support/Hex.h"

#include <cstdio>
#include <cstdlib>

namespace orvelpdu::test {

namespace {

int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  std::fprintf(stderr, "bad hex digit '%c' in test data\n", c);
  std::abort();
}

}  // namespace

std::vector<unsigned char> bytesFromHex(const std::string& hex) {
  std::vector<unsigned char> out;
  int high = -1;
  for (char c : hex) {
    if (c == ' ') continue;
    int v = nibble(c);
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<unsigned char>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) {
    std::fprintf(stderr, "odd number of hex digits in test data: %s\n", hex.c_str());
    std::abort();
  }
  return out;
}

CIPByteBuffer bufferOf(const std::vector<unsigned char>& bytes) {
  CIPByteBuffer buffer;
  buffer.appendBytes(const_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  return buffer;
}

CIPByteBuffer bufferFromHex(const std::string& hex) { return bufferOf(bytesFromHex(hex)); }

std::string hexOf(const std::vector<unsigned char>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

std::string hexOf(const CIPByteBuffer& buffer) {
  const unsigned char* p = buffer.getBuffer();
  return hexOf(std::vector<unsigned char>(p, p + buffer.getLength()));
}

}  // namespace orvelpdu::test

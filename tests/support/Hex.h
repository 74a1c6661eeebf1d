// Wire bytes in tests are written as hex text ("12 34 00 01") and compared as hex text, so a
// failing comparison shows both byte strings.
#ifndef ORVELPDU_TESTS_SUPPORT_HEX_H_
#define ORVELPDU_TESTS_SUPPORT_HEX_H_

#include <string>
#include <vector>

#include "orvelpdu/buffer/CIPByteBuffer.h"

namespace orvelpdu::test {

// Bytes from hex text; spaces are ignored. Aborts the test program on malformed text.
std::vector<unsigned char> bytesFromHex(const std::string& hex);

// A buffer holding `bytes`, in a block of its own.
CIPByteBuffer bufferOf(const std::vector<unsigned char>& bytes);

// A buffer holding the bytes of `hex`.
CIPByteBuffer bufferFromHex(const std::string& hex);

// The held bytes as upper-case hex pairs separated by single spaces ("" when empty).
std::string hexOf(const CIPByteBuffer& buffer);
std::string hexOf(const std::vector<unsigned char>& bytes);

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_HEX_H_

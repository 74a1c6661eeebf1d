// A deliberately naive model of CIPByteBuffer's observable behaviour: a plain byte vector and
// a flag for whether a block is held. It follows the buffer's contract operation by operation,
// with no regard for speed, so that the fuzzer can compare the real buffer against it.
#ifndef ORVELPDU_FUZZ_BUFFERMODEL_H_
#define ORVELPDU_FUZZ_BUFFERMODEL_H_

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzBytes.h"

namespace orvelpdu::fuzz {

struct BufferModel {
  std::vector<uint8_t> bytes;
  bool block = false;  // whether getBuffer() is non-null
  // Whether the block may be one the caller handed in (setBuffer): its size is then the
  // caller's word, so setLength past the bytes shown would break the caller's side of the
  // contract and is not tried.
  bool adopted = false;

  int length() const { return static_cast<int>(bytes.size()); }

  void empty() {
    bytes.clear();
    block = false;
    adopted = false;
  }

  void setTo(const std::vector<uint8_t>& content) {
    bytes = content;
    block = !bytes.empty();
    adopted = false;
  }

  void append(const std::vector<uint8_t>& more) {
    if (more.empty()) return;
    bytes.insert(bytes.end(), more.begin(), more.end());
    block = true;
  }

  // appendBytes0(int): zero bytes, or a drop from the end clamped at everything.
  void appendZeros(int count) {
    if (count == 0) return;
    if (count < 0) {
      if (count <= -length()) {
        empty();
      } else {
        bytes.resize(static_cast<size_t>(length() + count));
      }
      return;
    }
    append(std::vector<uint8_t>(static_cast<size_t>(count), 0));
  }

  void appendBE(uint32_t v, int width) {
    std::vector<uint8_t> out;
    for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    append(out);
  }

  void resize(int n) {
    if (n < 0 || n == length()) return;
    appendZeros(n - length());
  }

  unsigned char readByte() const { return bytes.empty() ? 0xCD : bytes[0]; }
  int readShort() const {
    return length() < 2 ? 0xCDCD : static_cast<int>(loadBig(bytes.data(), 2));
  }
  int readInt() const {
    return static_cast<int>(length() < 4 ? 0xCDCDCDCDu : loadBig(bytes.data(), 4));
  }

  std::vector<uint8_t> front(int count) const {
    int n = std::clamp(count, 0, length());
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + n);
  }

  void removeFront(int count) {
    if (count < 0) return;
    if (count >= length()) {
      empty();
      return;
    }
    bytes.erase(bytes.begin(), bytes.begin() + count);
  }

  // The C-string field at the front: the text before the first NUL, and whether a NUL ends it.
  std::string cstringField(bool* ended) const {
    auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    *ended = nul != bytes.end();
    return std::string(bytes.begin(), nul);
  }

  std::string hexDump() const {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
      if (b >= 0x10) out.push_back(kDigits[b >> 4]);
      out.push_back(kDigits[b & 0x0F]);
    }
    return out;
  }
};

}  // namespace orvelpdu::fuzz

#endif  // ORVELPDU_FUZZ_BUFFERMODEL_H_

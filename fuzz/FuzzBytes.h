// Moving bytes between the fuzz targets' plain vectors and the library's buffers.
#ifndef ORVELPDU_FUZZ_FUZZBYTES_H_
#define ORVELPDU_FUZZ_FUZZBYTES_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"

namespace orvelpdu::fuzz {

using Bytes = std::vector<uint8_t>;

inline CIPByteBuffer bufferOf(const Bytes& bytes) {
  CIPByteBuffer b;
  b.appendBytes0(const_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  return b;
}

// The held bytes (none when no block is held).
inline Bytes contentOf(const CIPByteBuffer& b) {
  const unsigned char* p = b.getBuffer();
  if (p == nullptr) return {};
  return Bytes(p, p + b.getLength());
}

// The unsigned big-endian number of `width` (1, 2 or 4) bytes at `at`.
inline uint32_t loadBig(const uint8_t* at, int width) {
  if (width == 1) return at[0];
  return width == 2 ? detail::loadBig16(at) : detail::loadBig32(at);
}

// As above, `offset` bytes into `bytes`. REQUIRES: offset + width <= bytes.size().
inline uint32_t loadBig(const Bytes& bytes, size_t offset, int width) {
  return loadBig(bytes.data() + offset, width);
}

// The low `width` (1, 2 or 4) bytes of v, most significant first.
inline Bytes bigEndian(uint32_t v, int width) {
  Bytes out(static_cast<size_t>(width));
  if (width == 1) {
    out[0] = static_cast<uint8_t>(v);
  } else if (width == 2) {
    detail::storeBig16(out.data(), static_cast<uint16_t>(v));
  } else {
    detail::storeBig32(out.data(), v);
  }
  return out;
}

// Chunk sizes, as a socket might hand received bytes over, from a small generator: mostly
// small, sometimes large, never 0.
class Chunks {
 public:
  explicit Chunks(uint32_t seed) : state_(seed | 1u) {}
  size_t next(size_t left) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    const size_t size = state_ % 8 == 0 ? 1 + state_ % 4096 : 1 + state_ % 9;
    return size < left ? size : left;
  }

 private:
  uint32_t state_;
};

}  // namespace orvelpdu::fuzz

#endif  // ORVELPDU_FUZZ_FUZZBYTES_H_

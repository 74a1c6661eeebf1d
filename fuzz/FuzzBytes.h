// Moving bytes between the fuzz targets' plain vectors and the library's buffers.
#ifndef ORVELPDU_FUZZ_FUZZBYTES_H_
#define ORVELPDU_FUZZ_FUZZBYTES_H_

#include <cstdint>
#include <vector>

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

}  // namespace orvelpdu::fuzz

#endif  // ORVELPDU_FUZZ_FUZZBYTES_H_

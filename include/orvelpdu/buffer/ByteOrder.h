// Big-endian loads and stores of 16 and 32 bits at any address: the one place where the
// library converts between host integers and the wire's byte order. Internal to the library;
// installed only because the buffer's inline fast paths use it.
#ifndef ORVELPDU_BUFFER_BYTEORDER_H_
#define ORVELPDU_BUFFER_BYTEORDER_H_

#include <cstdint>

namespace orvelpdu::detail {

// Byte by byte, so that any alignment is fine; compilers turn each into one load or store
// plus a byte swap.
inline void storeBig16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v >> 8);
  p[1] = static_cast<unsigned char>(v);
}

inline void storeBig32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

inline std::uint16_t loadBig16(const unsigned char* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t loadBig32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_BUFFER_BYTEORDER_H_

// Big-endian loads and stores of 16 and 32 bits at any address: the one place where the
// library converts between host integers and the wire's byte order. Internal to the library;
// installed only because the buffer's inline fast paths use it.
#ifndef ORVELPDU_BUFFER_BYTEORDER_H_
#define ORVELPDU_BUFFER_BYTEORDER_H_

#include <cstdint>
#include <cstring>

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

// Between a host 32-bit value and its big-endian form as it lies in memory.
inline std::uint32_t bigEndian32(std::uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return v;
#elif defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return __builtin_bswap32(v);
#else
  unsigned char wire[4];
  storeBig32(wire, v);
  std::uint32_t inMemory;
  std::memcpy(&inMemory, wire, sizeof inMemory);
  return inMemory;
#endif
}

// Four 32-bit values as 16 consecutive big-endian bytes and back (a PDU header): one 16-byte
// move and four byte swaps, where four separate fields take four of each and more.
inline void storeBig32x4(unsigned char* p, const std::uint32_t (&v)[4]) {
  std::uint32_t wire[4];
  for (int i = 0; i < 4; ++i) wire[i] = bigEndian32(v[i]);
  std::memcpy(p, wire, sizeof wire);
}

inline void loadBig32x4(const unsigned char* p, std::uint32_t (&v)[4]) {
  std::memcpy(v, p, sizeof v);
  for (int i = 0; i < 4; ++i) v[i] = bigEndian32(v[i]);
}

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_BUFFER_BYTEORDER_H_

// Big-endian stores and loads for the hand-written codecs of bench/, which write and read a
// plain byte array. Each store returns the position behind what it wrote. They are the
// library's own byte-order helpers, so that both sides of a comparison encode alike.
#ifndef ORVELPDU_BENCH_SUPPORT_HANDWIRE_H_
#define ORVELPDU_BENCH_SUPPORT_HANDWIRE_H_

#include <cstdint>

#include "orvelpdu/buffer/ByteOrder.h"

namespace orvelpdu::bench {

inline std::uint8_t* put16(std::uint8_t* p, std::uint16_t v) {
  orvelpdu::detail::storeBig16(p, v);
  return p + 2;
}

inline std::uint8_t* put32(std::uint8_t* p, std::uint32_t v) {
  orvelpdu::detail::storeBig32(p, v);
  return p + 4;
}

inline std::uint16_t get16(const std::uint8_t* p) { return orvelpdu::detail::loadBig16(p); }

inline std::uint32_t get32(const std::uint8_t* p) { return orvelpdu::detail::loadBig32(p); }

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_HANDWIRE_H_

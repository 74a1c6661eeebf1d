// Cost per value byte of an octet-string TLV encoded into a new buffer and parsed back into a
// new object, for values of 16 bytes up to the largest a TLV frames, 65,535 bytes. Beside it,
// the hand-written equivalent: the frame and the bytes stored into a byte array of the exact
// size, then checked and copied into a std::vector.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "support/Measure.h"

namespace {

using orvelpdu::bench::AllocationTally;

constexpr short kTag = 0x0105;

CIPByteBuffer valueOf(int size) {
  CIPByteBuffer value;
  for (int i = 0; i < size; ++i) value.appendByte(static_cast<unsigned char>(i));
  return value;
}

void octetsRoundTrip(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  CTLVOctets tlv(kTag, valueOf(size));
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer wire;
      tlv.getData(wire);
      CTLVOctets parsed;
      parsed.setData(wire);
      benchmark::DoNotOptimize(parsed.hasValue());
    }
    tally.end();
  }
  tally.report(state, size);
}

void octetsRoundTripHand(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint8_t> value(size);
  for (std::size_t i = 0; i < size; ++i) value[i] = static_cast<std::uint8_t>(i);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      std::unique_ptr<std::uint8_t[]> wire(new std::uint8_t[4 + size]);
      wire[0] = static_cast<std::uint8_t>(kTag >> 8);
      wire[1] = static_cast<std::uint8_t>(kTag);
      wire[2] = static_cast<std::uint8_t>(size >> 8);
      wire[3] = static_cast<std::uint8_t>(size);
      std::memcpy(wire.get() + 4, value.data(), size);

      const std::size_t length = static_cast<std::size_t>((wire[2] << 8) | wire[3]);
      std::vector<std::uint8_t> parsed;
      if (length <= size) parsed.assign(wire.get() + 4, wire.get() + 4 + length);
      benchmark::DoNotOptimize(parsed.data());
    }
    tally.end();
  }
  tally.report(state, static_cast<double>(size));
}

using orvelpdu::bench::scalingSeries;

BENCHMARK(octetsRoundTrip)
    ->Name("Scaling/octets_tlv/library")
    ->Arg(16)
    ->Arg(256)
    ->Arg(4096)
    ->Arg(65535)
    ->Apply(scalingSeries);
BENCHMARK(octetsRoundTripHand)
    ->Name("Scaling/octets_tlv/hand")
    ->Arg(16)
    ->Arg(256)
    ->Arg(4096)
    ->Arg(65535)
    ->Apply(scalingSeries);

}  // namespace

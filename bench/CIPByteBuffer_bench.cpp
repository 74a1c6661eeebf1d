// Cost per field of building and parsing a message in one buffer, for messages of 1,000 to
// 1,000,000 fields. The time per field should not grow with the message: appends cost
// amortised O(field width) and removals from the front O(field width). Beside each series, a
// hand-written equivalent over a std::vector of bytes shows the floor.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "support/Measure.h"

namespace {

using orvelpdu::bench::AllocationTally;

void appendThenRemoveInts(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  int sum = 0;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer buffer;
      for (int i = 0; i < n; ++i) buffer.appendInt(i);
      for (int i = 0; i < n; ++i) sum += buffer.removeInt();
    }
    tally.end();
    benchmark::DoNotOptimize(sum);
  }
  tally.report(state, n);
}

void appendThenRemoveIntsHand(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  int sum = 0;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      std::vector<std::uint8_t> bytes;
      for (int i = 0; i < n; ++i) {
        const auto v = static_cast<std::uint32_t>(i);
        const std::uint8_t field[] = {
            static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
        bytes.insert(bytes.end(), field, field + 4);
      }
      for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        sum += static_cast<int>((std::uint32_t{bytes[at]} << 24) |
                                (std::uint32_t{bytes[at + 1]} << 16) |
                                (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3]);
      }
    }
    tally.end();
    benchmark::DoNotOptimize(sum);
  }
  tally.report(state, n);
}

void buildThenParseCStrings(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  char text[] = "abcdefgh";
  CString field;
  int taken = 0;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer buffer;
      for (int i = 0; i < n; ++i) {
        buffer.appendCString(text);
        buffer.appendByte(0);
      }
      for (int i = 0; i < n; ++i) taken += buffer.removeCString(field);
    }
    tally.end();
    benchmark::DoNotOptimize(taken);
    benchmark::DoNotOptimize(field.GetLength());
  }
  tally.report(state, n);
}

void buildThenParseCStringsHand(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const char text[] = "abcdefgh";
  std::string field;
  int taken = 0;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      std::vector<std::uint8_t> bytes;
      for (int i = 0; i < n; ++i) bytes.insert(bytes.end(), text, text + sizeof text);
      const std::uint8_t* p = bytes.data();
      std::size_t left = bytes.size();
      while (left > 0) {
        const void* nul = std::memchr(p, 0, left);
        const std::size_t length =
            nul == nullptr ? left
                           : static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - p);
        field.assign(reinterpret_cast<const char*>(p), length);
        const std::size_t used = nul == nullptr ? length : length + 1;
        p += used;
        left -= used;
        ++taken;
      }
    }
    tally.end();
    benchmark::DoNotOptimize(taken);
    benchmark::DoNotOptimize(field.size());
  }
  tally.report(state, n);
}

using orvelpdu::bench::scalingSeries;

BENCHMARK(appendThenRemoveInts)
    ->Name("Scaling/int_fields/library")
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Apply(scalingSeries);
BENCHMARK(appendThenRemoveIntsHand)
    ->Name("Scaling/int_fields/hand")
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Apply(scalingSeries);
BENCHMARK(buildThenParseCStrings)
    ->Name("Scaling/cstring_fields/library")
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Apply(scalingSeries);
BENCHMARK(buildThenParseCStringsHand)
    ->Name("Scaling/cstring_fields/hand")
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Apply(scalingSeries);

}  // namespace

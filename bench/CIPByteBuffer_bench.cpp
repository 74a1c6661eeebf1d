// Cost per field of building and parsing a message in one buffer, for messages of 1,000 to
// 1,000,000 fields. The time per field should not grow with the message: appends cost
// amortised O(field width) and removals from the front O(field width).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"

namespace {

// Reports the time of one field (an append plus a remove) as "per_field", in seconds.
void reportPerField(benchmark::State& state, int64_t fields) {
  state.SetItemsProcessed(state.iterations() * fields);
  state.counters["per_field"] = benchmark::Counter(
      static_cast<double>(fields),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_AppendThenRemoveInts(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  int sum = 0;
  for (auto _ : state) {
    CIPByteBuffer buffer;
    for (int i = 0; i < n; ++i) buffer.appendInt(i);
    for (int i = 0; i < n; ++i) sum += buffer.removeInt();
    benchmark::DoNotOptimize(sum);
  }
  reportPerField(state, n);
}

void BM_BuildThenParseCStrings(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  char text[] = "abcdefgh";
  CString field;
  int taken = 0;
  for (auto _ : state) {
    CIPByteBuffer buffer;
    for (int i = 0; i < n; ++i) {
      buffer.appendCString(text);
      buffer.appendByte(0);
    }
    for (int i = 0; i < n; ++i) taken += buffer.removeCString(field);
    benchmark::DoNotOptimize(taken);
    benchmark::DoNotOptimize(field.GetLength());
  }
  reportPerField(state, n);
}

BENCHMARK(BM_AppendThenRemoveInts)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(BM_BuildThenParseCStrings)->RangeMultiplier(10)->Range(1000, 1000000);

}  // namespace

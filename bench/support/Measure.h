// Counters every benchmark of the suite reports, read by the closing summary: "allocs", the
// heap allocations per iteration, and "units", the fields, bytes or items one iteration
// handles (the scaling series divide time and allocations by it).
#ifndef ORVELPDU_BENCH_SUPPORT_MEASURE_H_
#define ORVELPDU_BENCH_SUPPORT_MEASURE_H_

#include <benchmark/benchmark.h>

#include "support/AllocationCounter.h"

namespace orvelpdu::bench {

// Counts the allocations made between begin() and end(), which bracket the measured code
// inside each iteration (setup done with the timer paused is left out).
class AllocationTally {
 public:
  void begin() { start_ = allocationCount(); }
  void end() { total_ += allocationCount() - start_; }

  // Sets the "allocs" counter, per iteration, and "units" when given.
  void report(benchmark::State& state, double units = 0) const {
    const double iterations = static_cast<double>(state.iterations());
    // Each thread of a multi-threaded run reports its own; the average over them is the
    // allocations per operation (the default, a sum, would multiply it by the threads).
    state.counters["allocs"] =
        benchmark::Counter(iterations > 0 ? static_cast<double>(total_) / iterations : 0,
                           benchmark::Counter::kAvgThreads);
    if (units > 0) state.counters["units"] = units;
  }

 private:
  long start_ = 0;
  long total_ = 0;
};

// The settings of the library-beside-hand-written comparisons: repeated runs, of which the
// summary reports the median; CPU time in nanoseconds.
void keyComparison(benchmark::internal::Benchmark* benchmark);

// The settings of the scaling series: one run of each size, long enough to be stable.
void scalingSeries(benchmark::internal::Benchmark* benchmark);

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_MEASURE_H_

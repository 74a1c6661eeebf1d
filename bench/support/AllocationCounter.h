// The benchmark binary's own global operator new and operator delete (CountingNew.cpp) count
// every heap allocation made in the process, the library's included, and keep track of the
// bytes held, so benchmarks can report allocations per operation and peak memory beside time.
//
// The counters are relaxed atomics updated with a plain load and store rather than a locked
// read-modify-write: benchmarks run on one thread, and a locked add on every allocation would
// tax the code that allocates more and skew the comparison it is meant to support.
#ifndef ORVELPDU_BENCH_SUPPORT_ALLOCATIONCOUNTER_H_
#define ORVELPDU_BENCH_SUPPORT_ALLOCATIONCOUNTER_H_

#include <cstddef>

namespace orvelpdu::bench {

// Allocations through the global operator new since the process started.
long allocationCount();
// Bytes held now by blocks from the global operator new (their usable size).
std::size_t liveBytes();
// The largest liveBytes() seen since the last resetPeakBytes().
std::size_t peakBytes();
// Starts a new peak measurement from the bytes held now.
void resetPeakBytes();

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_ALLOCATIONCOUNTER_H_

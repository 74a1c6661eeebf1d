// The benchmark binary's own global operator new and operator delete (CountingNew.cpp) count
// every heap allocation made in the process, the library's included, and keep track of the
// bytes held, so benchmarks can report allocations per operation and peak memory beside time.
//
// Each thread counts into its own slot with a plain load and store rather than a locked
// read-modify-write on a shared counter: a locked add on every allocation would tax the code
// that allocates more, and on several threads it would add the very contention the
// multi-threaded benchmarks measure.
#ifndef ORVELPDU_BENCH_SUPPORT_ALLOCATIONCOUNTER_H_
#define ORVELPDU_BENCH_SUPPORT_ALLOCATIONCOUNTER_H_

#include <cstddef>

namespace orvelpdu::bench {

// Allocations the calling thread has made through the global operator new so far.
long allocationCount();
// Bytes held now by blocks from the global operator new (their usable size).
std::size_t liveBytes();
// The largest liveBytes() seen since the last resetPeakBytes(), exact while only the calling
// thread allocates and frees.
std::size_t peakBytes();
// Starts a new peak measurement, on the calling thread, from the bytes held now.
void resetPeakBytes();

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_ALLOCATIONCOUNTER_H_

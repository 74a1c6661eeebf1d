// Replaces the global allocation functions of the benchmark binary; being defined in the
// executable, they also serve the shared library's allocations.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/AllocationCounter.h"

namespace {

std::atomic<long> gAllocations{0};
std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};

// A plain load and store: cheap, and exact as long as one thread allocates at a time.
template <class T>
void add(std::atomic<T>& counter, T amount) {
  counter.store(counter.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
}

void* allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  add(gAllocations, 1L);
  const std::size_t live = gLive.load(std::memory_order_relaxed) + malloc_usable_size(p);
  gLive.store(live, std::memory_order_relaxed);
  if (live > gPeak.load(std::memory_order_relaxed)) gPeak.store(live, std::memory_order_relaxed);
  return p;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  gLive.store(gLive.load(std::memory_order_relaxed) - malloc_usable_size(p),
              std::memory_order_relaxed);
  std::free(p);
}

void* allocateNoThrow(std::size_t size) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

namespace orvelpdu::bench {

long allocationCount() { return gAllocations.load(std::memory_order_relaxed); }

std::size_t liveBytes() { return gLive.load(std::memory_order_relaxed); }

std::size_t peakBytes() { return gPeak.load(std::memory_order_relaxed); }

void resetPeakBytes() { gPeak.store(liveBytes(), std::memory_order_relaxed); }

}  // namespace orvelpdu::bench

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocateNoThrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocateNoThrow(size);
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

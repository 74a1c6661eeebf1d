// Replaces the global allocation functions of the benchmark binary; being defined in the
// executable, they also serve the shared library's allocations.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "support/AllocationCounter.h"

namespace {

// Each thread counts into a slot of its own, written by that thread alone with a plain load
// and store: exact, cheap, and without a cache line shared between threads, which would tax
// every allocation of the multi-threaded benchmarks with the very contention they measure.
// A block freed on another thread than the one that made it is subtracted from the freeing
// thread's slot, so only the sum over the slots is the process's live total. Threads beyond
// the slots share the last one, with atomic read-modify-writes.
struct alignas(64) Slot {
  std::atomic<long> allocations{0};
  std::atomic<long long> live{0};  // may go negative in one slot; the sum is exact
  std::atomic<long long> peak{0};  // the largest `live` of this slot since the last reset
  bool shared = false;
};

constexpr std::size_t kSlots = 4096;
Slot gSlots[kSlots];
std::atomic<std::size_t> gClaimed{0};
thread_local Slot* tSlot = nullptr;

Slot& mine() {
  if (tSlot == nullptr) {
    const std::size_t at = gClaimed.fetch_add(1);
    tSlot = &gSlots[at < kSlots - 1 ? at : kSlots - 1];
    if (at >= kSlots - 1) tSlot->shared = true;
  }
  return *tSlot;
}

template <class T>
T add(const Slot& slot, std::atomic<T>& counter, T amount) {
  if (slot.shared) return counter.fetch_add(amount, std::memory_order_relaxed) + amount;
  const T value = counter.load(std::memory_order_relaxed) + amount;
  counter.store(value, std::memory_order_relaxed);
  return value;
}

void* allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  Slot& slot = mine();
  add(slot, slot.allocations, 1L);
  const long long live = add(slot, slot.live, static_cast<long long>(malloc_usable_size(p)));
  if (live > slot.peak.load(std::memory_order_relaxed)) {
    slot.peak.store(live, std::memory_order_relaxed);
  }
  return p;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  Slot& slot = mine();
  add(slot, slot.live, -static_cast<long long>(malloc_usable_size(p)));
  std::free(p);
}

void* allocateNoThrow(std::size_t size) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

long long liveSum() {
  const std::size_t claimed = std::min(gClaimed.load(), kSlots);
  long long total = 0;
  for (std::size_t i = 0; i < claimed; ++i) total += gSlots[i].live.load(std::memory_order_relaxed);
  return total;
}

}  // namespace

namespace orvelpdu::bench {

long allocationCount() { return mine().allocations.load(std::memory_order_relaxed); }

std::size_t liveBytes() { return static_cast<std::size_t>(liveSum()); }

std::size_t peakBytes() {
  const Slot& slot = mine();
  return static_cast<std::size_t>(liveSum() - slot.live.load(std::memory_order_relaxed) +
                                  slot.peak.load(std::memory_order_relaxed));
}

void resetPeakBytes() {
  Slot& slot = mine();
  slot.peak.store(slot.live.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

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

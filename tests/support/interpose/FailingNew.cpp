// Replaces the global allocation functions of the test binary (the library's allocations
// included, as the executable's definitions interpose the shared library's references).
#include "support/FailingNew.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "orvelpdu/pdu/HeaderBlockCache.h"

namespace {

std::atomic<long> gCountdown{0};  // 0: unarmed; otherwise allocations left before failing
std::atomic<bool> gFired{false};
std::atomic<long> gAllocations{0};
std::atomic<long> gLiveBytes{0};

// keepNextFreedBlock: the callback to run on the next release, and the block kept meanwhile.
std::atomic<void (*)(void*)> gWhileKept{nullptr};
std::atomic<void*> gKept{nullptr};
thread_local bool tTakeKept = false;

void* takeKept(std::size_t size) {
  tTakeKept = false;
  void* kept = gKept.load();
  if (kept == nullptr || malloc_usable_size(kept) < size) return nullptr;
  return gKept.compare_exchange_strong(kept, nullptr) ? kept : nullptr;
}

// A kept block counts as live until it is freed: handed to another thread, it stays so.
void freeBlock(void* p) {
  if (p == nullptr) return;
  gLiveBytes.fetch_sub(static_cast<long>(malloc_usable_size(p)), std::memory_order_relaxed);
  std::free(p);
}

void release(void* p) {
  void (*whileKept)(void*) = gWhileKept.load();
  if (p == nullptr || whileKept == nullptr ||
      !gWhileKept.compare_exchange_strong(whileKept, nullptr)) {
    freeBlock(p);
    return;
  }
  gKept = p;
  whileKept(p);
  // Freed here unless another thread took it over.
  freeBlock(gKept.exchange(nullptr));
}

void* allocate(std::size_t size) {
  if (tTakeKept) {
    if (void* p = takeKept(size)) {
      gAllocations.fetch_add(1, std::memory_order_relaxed);
      return p;
    }
  }
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  long left = gCountdown.load(std::memory_order_relaxed);
  if (left > 0) {
    if (gCountdown.fetch_sub(1) == 1) {
      gFired = true;
      throw std::bad_alloc();
    }
  }
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  gLiveBytes.fetch_add(static_cast<long>(malloc_usable_size(p)), std::memory_order_relaxed);
  return p;
}

}  // namespace

namespace orvelpdu::test {

// The calling thread's cached header blocks are freed first, so that an armed run meets
// every header allocation its operation makes, as without the cache.
void armAllocationFailure(long k) {
  orvelpdu::releaseCachedHeaderBlocks();
  gFired = false;
  gCountdown = k;
}

void disarmAllocationFailure() { gCountdown = 0; }

bool allocationFailureFired() { return gFired; }

long allocationCount() { return gAllocations.load(std::memory_order_relaxed); }

long liveBytes() { return gLiveBytes.load(std::memory_order_relaxed); }

// The releasing thread is the caller: its header blocks must reach operator delete, so its
// header block cache is turned off for good.
void keepNextFreedBlock(void (*whileKept)(void* block)) {
  orvelpdu::setHeaderBlockCacheEnabled(false);
  gWhileKept = whileKept;
}

void takeKeptBlockNext() { tTakeKept = true; }

}  // namespace orvelpdu::test

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }

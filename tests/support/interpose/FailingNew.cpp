// Replaces the global allocation functions of the test binary (the library's allocations
// included, as the executable's definitions interpose the shared library's references).
#include "support/FailingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> gCountdown{0};  // 0: unarmed; otherwise allocations left before failing
std::atomic<bool> gFired{false};
std::atomic<long> gAllocations{0};

void* allocate(std::size_t size) {
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
  return p;
}

}  // namespace

namespace orvelpdu::test {

void armAllocationFailure(long k) {
  gFired = false;
  gCountdown = k;
}

void disarmAllocationFailure() { gCountdown = 0; }

bool allocationFailureFired() { return gFired; }

long allocationCount() { return gAllocations.load(std::memory_order_relaxed); }

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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

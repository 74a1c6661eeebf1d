#include "orvelpdu/pdu/HeaderBlockCache.h"

#include <cstddef>
#include <new>

#include "pdu/HeaderBlocks.h"

namespace orvelpdu::detail {
namespace {

// Enough for the PDUs a thread typically has in flight at once; the rest go to the heap.
constexpr int kCachedBlocks = 8;

// Plain data, constant-initialised: reaching it costs no initialisation guard. The
// initial-exec model reaches it without a call, at the price of a little static TLS.
struct CacheState {
  void* blocks[kCachedBlocks];
  int count;
  bool closed;        // off, or the thread is ending: no block is kept any more
  bool drainerArmed;  // the thread's Drainer is registered to run at its end
};

constinit thread_local __attribute__((tls_model("initial-exec"))) CacheState tCache{};

void freeCached(CacheState& cache) {
  while (cache.count > 0) ::operator delete(cache.blocks[--cache.count]);
}

// Frees a thread's cached blocks when the thread ends, and closes its cache, so that headers
// released later in the thread's teardown go straight to the heap.
struct Drainer {
  Drainer() = default;
  Drainer(const Drainer&) = delete;
  Drainer& operator=(const Drainer&) = delete;
  ~Drainer() {
    tCache.closed = true;
    freeCached(tCache);
  }
};

thread_local Drainer tDrainer;

// Out of the common path: the first block a thread keeps registers its Drainer.
[[gnu::noinline]] void armDrainer() {
  static_cast<void>(&tDrainer);
  tCache.drainerArmed = true;
}

}  // namespace

void* takeHeaderBlock() {
  CacheState& cache = tCache;
  if (cache.count > 0) return cache.blocks[--cache.count];
  return ::operator new(kHeaderBlockSize);
}

void releaseHeaderBlock(void* block) {
  CacheState& cache = tCache;
  if (cache.count < kCachedBlocks && !cache.closed) {
    if (!cache.drainerArmed) armDrainer();
    cache.blocks[cache.count++] = block;
    return;
  }
  ::operator delete(block);
}

}  // namespace orvelpdu::detail

namespace orvelpdu {

void releaseCachedHeaderBlocks() { detail::freeCached(detail::tCache); }

void setHeaderBlockCacheEnabled(bool enabled) {
  detail::tCache.closed = !enabled;
  if (!enabled) detail::freeCached(detail::tCache);
}

}  // namespace orvelpdu

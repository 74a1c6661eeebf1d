#include "orvelpdu/base/MemoryRegistry.h"

#if defined(__linux__)
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <chrono>
#include <thread>
#endif

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace orvelpdu::detail {
namespace {

// The registered blocks of one shard, keyed by address: an open-addressing table with linear
// probing. A registration costs no allocation of its own (the table grows geometrically and
// never shrinks), and a removal shifts the entries behind it back, so that no tombstones
// lengthen later searches. A null slot key marks a free slot; the null pointer itself, which
// callers may register like any other key, is kept beside the table.
//
// Each key carries the number of its registrations not yet undone. A block's address can be
// registered a second time before the first registration is undone: a block is freed, the
// allocator hands the same address to another thread's new block, and that thread registers
// it before the first thread's late unregistration arrives. Counting keeps the live block
// registered through that late call.
class BlockTable {
 public:
  int size() const { return static_cast<int>(used_ + (nullCount_ > 0 ? 1 : 0)); }

  // Registers `key` with `size`: a new key with a count of 1; a registered key counts one
  // more registration and takes the new size. Throws std::bad_alloc, changing nothing, when
  // the table cannot grow.
  void insert(const void* key, int size) {
    if (key == nullptr) {
      ++nullCount_;
      nullSize_ = size;
      return;
    }
    if (mask_ == 0) grow();
    // One probe run finds the key or, where it ends, the free slot a new key takes; only a
    // growth (rare: the table doubles) makes a second one.
    std::size_t at = home(key);
    for (; slots_[at].key != nullptr; at = next(at)) {
      if (slots_[at].key == key) {
        slots_[at].size = size;
        ++slots_[at].count;
        return;
      }
    }
    if (2 * (used_ + 1) > mask_ + 1) {
      grow();
      at = home(key);
      while (slots_[at].key != nullptr) at = next(at);
    }
    slots_[at] = Slot{key, size, 1};
    ++used_;
  }

  // Undoes one registration of `key`; the key goes once none is left.
  void erase(const void* key) {
    if (key == nullptr) {
      if (nullCount_ > 0) --nullCount_;
      return;
    }
    std::size_t hole = indexOf(key);
    if (hole == kNone) return;
    if (--slots_[hole].count > 0) return;
    // Moves back every entry of the probe run behind the hole whose home does not lie
    // (cyclically) between the hole and its own slot: a search for it would otherwise stop
    // at the hole.
    for (std::size_t at = next(hole); slots_[at].key != nullptr; at = next(at)) {
      const std::size_t wanted = home(slots_[at].key);
      const bool staysPut =
          hole <= at ? (hole < wanted && wanted <= at) : (hole < wanted || wanted <= at);
      if (staysPut) continue;
      slots_[hole] = slots_[at];
      hole = at;
    }
    slots_[hole] = Slot{};
    --used_;
  }

  // The size registered for `key`, or -1.
  int sizeOf(const void* key) const {
    if (key == nullptr) return nullCount_ > 0 ? nullSize_ : -1;
    const std::size_t at = indexOf(key);
    return at == kNone ? -1 : slots_[at].size;
  }

 private:
  struct Slot {
    const void* key = nullptr;
    int size = 0;
    long count = 0;  // registrations not yet undone, >= 1 for a used slot
  };

  std::size_t home(const void* key) const {
    // Fibonacci hashing of the address; its low bits are alignment and carry no information.
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key) >> 4);
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
  }

  std::size_t next(std::size_t at) const { return (at + 1) & mask_; }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The slot of a non-null `key`, or kNone.
  std::size_t indexOf(const void* key) const {
    if (mask_ == 0) return kNone;
    for (std::size_t at = home(key); slots_[at].key != nullptr; at = next(at)) {
      if (slots_[at].key == key) return at;
    }
    return kNone;
  }

  void grow() {
    const std::size_t capacity = slots_.empty() ? 64 : 2 * slots_.size();
    std::vector<Slot> old(capacity);  // the only step that can fail
    old.swap(slots_);
    mask_ = capacity - 1;
    shift_ = 64;
    for (std::size_t c = capacity; c > 1; c >>= 1) --shift_;
    for (const Slot& slot : old) {
      if (slot.key == nullptr) continue;
      std::size_t at = home(slot.key);
      while (slots_[at].key != nullptr) at = next(at);
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;  // empty, or a power of two of slots, at most half of them used
  // slots_.size() - 1 once there are slots (at least 64), else 0: the probe and load checks
  // read it instead of working the size out of the vector's ends.
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
  int shift_ = 64;  // 64 - log2(slots_.size())
  long nullCount_ = 0;
  int nullSize_ = 0;
};

// The registry is split by address into shards, each with its own lock, table and call
// counters on cache lines of its own, so threads registering different blocks rarely meet:
// with 64 shards, two of 16 threads hit the same one on about a quarter of their calls, and
// never on the same cache line as another shard. The call counters change only under their
// shard's lock, so a plain load and store update them; they are atomic for the readers that
// do not take it.
constexpr std::size_t kShards = 64;
constexpr std::size_t kCacheLine = 64;

// Sleeping while `word` holds `value`, for at most about a millisecond, and waking one such
// sleeper. On Linux straight through the futex system call: std::atomic's wait would bring
// the C++ library's waiter table and its symbols into this library, and has no time limit.
#if defined(__linux__)
static_assert(sizeof(std::atomic<int>) == sizeof(int), "a futex word is a plain int");

void sleepBriefly(std::atomic<int>& word, int value) {
  const timespec limit{0, 1000000};
  syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAIT_PRIVATE, value, &limit, nullptr, 0);
}

void wakeOne(std::atomic<int>& word) {
  syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}
#else
void sleepBriefly(std::atomic<int>& word, int value) {
  if (word.load(std::memory_order_relaxed) == value) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void wakeOne(std::atomic<int>& /*word*/) {}
#endif

// A shard's lock: held for a few dozen instructions at a time and rarely contended, so the
// common case costs what a spin lock does: one compare-exchange to take it, one store to give
// it back. A waiter spins only briefly, then sleeps in the kernel (a futex on Linux), so a
// holder that has lost its processor, even to a real-time waiter on the same processor, can
// always run again and finish.
//
// The holder wakes a sleeper when it finds one counted after its releasing store. That load
// may be answered before the store is seen by the sleeper (a store-load reordering, which a
// fence on the common path would prevent at the cost of a locked instruction): the sleeper
// then went to sleep on a lock already free, and no one wakes it. Each sleep is therefore
// limited to about a millisecond, after which the sleeper tries again; it is a bound on that
// rare case, not a poll the common case pays for.
class ShardLock {
 public:
  void lock() {
    int expected = kFree;
    if (state_.compare_exchange_strong(expected, kHeld, std::memory_order_acquire,
                                       std::memory_order_relaxed)) {
      return;
    }
    lockContended();
  }
  void unlock() {
    state_.store(kFree, std::memory_order_release);
    if (sleepers_.load(std::memory_order_relaxed) != 0) wakeOne(state_);
  }

 private:
  static constexpr int kFree = 0;
  static constexpr int kHeld = 1;
  // Attempts before a waiter sleeps, each after a pause instruction: from under a microsecond
  // to a few, depending on the processor; well beyond the few dozen instructions a holder
  // that keeps its processor holds the lock for.
  static constexpr int kSpins = 64;

  static void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }

  bool tryLock() {
    int expected = kFree;
    return state_.load(std::memory_order_relaxed) == kFree &&
           state_.compare_exchange_weak(expected, kHeld, std::memory_order_acquire,
                                        std::memory_order_relaxed);
  }

  void lockContended() {
    for (int spin = 0; spin < kSpins; ++spin) {
      if (tryLock()) return;
      relax();
    }
    // Counted before the last attempt, so a holder releasing after it sees the sleeper.
    sleepers_.fetch_add(1, std::memory_order_seq_cst);
    while (!tryLock()) sleepBriefly(state_, kHeld);
    sleepers_.fetch_sub(1, std::memory_order_relaxed);
  }

  std::atomic<int> sleepers_{0};
  std::atomic<int> state_{kFree};
};

struct alignas(kCacheLine) Shard {
  ShardLock mutex;
  BlockTable blocks;
  std::atomic<long> adds{0};
  std::atomic<long> dels{0};
};

// The shards are constant-initialised, so no call pays for an initialisation guard and a
// registration made by another object's static constructor finds them ready; and they are
// never destroyed, so the registry outlives every static object that might release a
// registered block at exit.
union ShardArray {
  constexpr ShardArray() : shards() {}
  ~ShardArray() {}
  Shard shards[kShards];
};

constinit ShardArray gShards;

Shard* shards() { return gShards.shards; }

// A hash of its own (not the tables' multiplier), so that the keys of one shard still spread
// over its table.
Shard& shardOf(const void* block) {
  const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block) >> 4);
  return shards()[static_cast<std::size_t>((bits * 0xC2B2AE3D27D4EB4Full) >> 58)];
}

static_assert(kShards == 64, "shardOf keeps the top 6 bits of the hash");

void count(std::atomic<long>& calls) {
  calls.store(calls.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

}  // namespace
}  // namespace orvelpdu::detail

using orvelpdu::detail::kShards;
using orvelpdu::detail::Shard;
using orvelpdu::detail::ShardLock;
using orvelpdu::detail::shardOf;
using orvelpdu::detail::shards;

void* _AddMemory(void* block, int size, int /*kind*/, char* /*name*/) {
  Shard& shard = shardOf(block);
  std::lock_guard<ShardLock> lock(shard.mutex);
  orvelpdu::detail::count(shard.adds);
  shard.blocks.insert(block, size);
  return block;
}

void* _DelMemory(void* block) {
  Shard& shard = shardOf(block);
  std::lock_guard<ShardLock> lock(shard.mutex);
  orvelpdu::detail::count(shard.dels);
  shard.blocks.erase(block);
  return block;
}

int _CountMemory() {
  int total = 0;
  for (std::size_t i = 0; i < kShards; ++i) {
    std::lock_guard<ShardLock> lock(shards()[i].mutex);
    total += shards()[i].blocks.size();
  }
  return total;
}

int _FindMemory(void* block) {
  Shard& shard = shardOf(block);
  std::lock_guard<ShardLock> lock(shard.mutex);
  return shard.blocks.sizeOf(block);
}

long _CountAddMemory() {
  long total = 0;
  for (std::size_t i = 0; i < kShards; ++i) {
    total += shards()[i].adds.load(std::memory_order_relaxed);
  }
  return total;
}

long _CountDelMemory() {
  long total = 0;
  for (std::size_t i = 0; i < kShards; ++i) {
    total += shards()[i].dels.load(std::memory_order_relaxed);
  }
  return total;
}

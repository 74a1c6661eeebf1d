#include "orvelpdu/base/MemoryRegistry.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace orvelpdu::detail {
namespace {

// The registered blocks, keyed by address: an open-addressing table with linear probing. A
// registration costs no allocation of its own (the table grows geometrically and never
// shrinks), and a removal shifts the entries behind it back, so that no tombstones lengthen
// later searches. A null slot key marks a free slot; the null pointer itself, which callers
// may register like any other key, is kept beside the table.
class BlockTable {
 public:
  int size() const { return static_cast<int>(used_ + (nullRegistered_ ? 1 : 0)); }

  // Registers `key` with `size`, replacing the size when it is registered already. Throws
  // std::bad_alloc, changing nothing, when the table cannot grow.
  void insert(const void* key, int size) {
    if (key == nullptr) {
      nullRegistered_ = true;
      nullSize_ = size;
      return;
    }
    if (const std::size_t at = indexOf(key); at != kNone) {
      slots_[at].size = size;
      return;
    }
    if (2 * (used_ + 1) > slots_.size()) grow();
    std::size_t at = home(key);
    while (slots_[at].key != nullptr) at = next(at);
    slots_[at] = Slot{key, size};
    ++used_;
  }

  void erase(const void* key) {
    if (key == nullptr) {
      nullRegistered_ = false;
      return;
    }
    std::size_t hole = indexOf(key);
    if (hole == kNone) return;
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
    if (key == nullptr) return nullRegistered_ ? nullSize_ : -1;
    const std::size_t at = indexOf(key);
    return at == kNone ? -1 : slots_[at].size;
  }

 private:
  struct Slot {
    const void* key = nullptr;
    int size = 0;
  };

  std::size_t home(const void* key) const {
    // Fibonacci hashing of the address; its low bits are alignment and carry no information.
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key) >> 4);
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift_);
  }

  std::size_t next(std::size_t at) const { return (at + 1) & (slots_.size() - 1); }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The slot of a non-null `key`, or kNone.
  std::size_t indexOf(const void* key) const {
    if (slots_.empty()) return kNone;
    for (std::size_t at = home(key); slots_[at].key != nullptr; at = next(at)) {
      if (slots_[at].key == key) return at;
    }
    return kNone;
  }

  void grow() {
    const std::size_t capacity = slots_.empty() ? 64 : 2 * slots_.size();
    std::vector<Slot> old(capacity);  // the only step that can fail
    old.swap(slots_);
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
  std::size_t used_ = 0;
  int shift_ = 64;  // 64 - log2(slots_.size())
  bool nullRegistered_ = false;
  int nullSize_ = 0;
};

// The registry outlives every static object that might release a registered block at exit:
// it is created on first use and never destroyed. The call counters change only under the
// lock, so a plain load and store update them; they are atomic for the readers that do not
// take it.
struct Registry {
  std::mutex mutex;
  BlockTable blocks;
  std::atomic<long> adds{0};
  std::atomic<long> dels{0};
};

Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

void count(std::atomic<long>& calls) {
  calls.store(calls.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

}  // namespace
}  // namespace orvelpdu::detail

using orvelpdu::detail::registry;

void* _AddMemory(void* block, int size, int /*kind*/, char* /*name*/) {
  auto& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  orvelpdu::detail::count(r.adds);
  r.blocks.insert(block, size);
  return block;
}

void* _DelMemory(void* block) {
  auto& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  orvelpdu::detail::count(r.dels);
  r.blocks.erase(block);
  return block;
}

int _CountMemory() {
  auto& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.blocks.size();
}

int _FindMemory(void* block) {
  auto& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.blocks.sizeOf(block);
}

long _CountAddMemory() { return registry().adds.load(std::memory_order_relaxed); }

long _CountDelMemory() { return registry().dels.load(std::memory_order_relaxed); }

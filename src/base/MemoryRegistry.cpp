#include "orvelpdu/base/MemoryRegistry.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace orvelpdu::detail {
namespace {

// The registry outlives every static object that might release a registered block at exit:
// it is created on first use and never destroyed.
struct Registry {
  std::mutex mutex;
  std::unordered_map<const void*, int> sizes;
  std::atomic<long> adds{0};
  std::atomic<long> dels{0};
};

Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

}  // namespace
}  // namespace orvelpdu::detail

using orvelpdu::detail::registry;

void* _AddMemory(void* block, int size, int /*kind*/, char* /*name*/) {
  auto& r = registry();
  r.adds.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(r.mutex);
  r.sizes[block] = size;
  return block;
}

void* _DelMemory(void* block) {
  auto& r = registry();
  r.dels.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(r.mutex);
  r.sizes.erase(block);
  return block;
}

int _CountMemory() {
  auto& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return static_cast<int>(r.sizes.size());
}

int _FindMemory(void* block) {
  auto& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.sizes.find(block);
  return it == r.sizes.end() ? -1 : it->second;
}

long _CountAddMemory() { return registry().adds.load(std::memory_order_relaxed); }

long _CountDelMemory() { return registry().dels.load(std::memory_order_relaxed); }

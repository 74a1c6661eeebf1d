#include "orvelpdu/base/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "orvelpdu/base/CBaseObj.h"

namespace {

TEST(MemoryRegistry, RegistersFindsAndUnregistersByKey) {
  int a = 0;
  int b = 0;
  const int before = _CountMemory();
  const long adds = _CountAddMemory();
  const long dels = _CountDelMemory();

  EXPECT_EQ(&a, _AddMemory(&a, 16, 1, nullptr));
  _AddMemory(&b, 4, 1, nullptr);
  EXPECT_EQ(before + 2, _CountMemory());
  EXPECT_EQ(16, _FindMemory(&a));
  EXPECT_EQ(4, _FindMemory(&b));

  EXPECT_EQ(&a, _DelMemory(&a));
  EXPECT_EQ(-1, _FindMemory(&a));
  EXPECT_EQ(before + 1, _CountMemory());
  _DelMemory(&b);
  EXPECT_EQ(before, _CountMemory());
  EXPECT_EQ(adds + 2, _CountAddMemory());
  EXPECT_EQ(dels + 2, _CountDelMemory());
}

TEST(MemoryRegistry, ToleratesUnknownAndFreedPointers) {
  const int before = _CountMemory();
  const long dels = _CountDelMemory();
  // Only the pointer value is used: a freed block or one never registered is just a key. The
  // address is kept as an integer the optimiser cannot trace back to the block, since reading a
  // pointer after its block is freed is not portable C++ (and GCC refuses it at -O2).
  int* block = new int(1);
  const volatile auto freed = reinterpret_cast<std::uintptr_t>(block);
  delete block;
  _DelMemory(reinterpret_cast<void*>(freed));
  _DelMemory(nullptr);
  EXPECT_EQ(before, _CountMemory());
  EXPECT_EQ(dels + 2, _CountDelMemory());
  EXPECT_EQ(-1, _FindMemory(nullptr));
}

// An address registered twice (a freed block's address handed to a new block before the old
// one's late unregistration) is one block with the latest size, and it stays registered until
// both registrations are undone.
TEST(MemoryRegistry, ReRegisteringReplacesTheSizeAndCountsTheRegistrations) {
  int a = 0;
  const int before = _CountMemory();
  _AddMemory(&a, 8, 1, nullptr);
  _AddMemory(&a, 24, 1, nullptr);
  EXPECT_EQ(before + 1, _CountMemory());
  EXPECT_EQ(24, _FindMemory(&a));
  _DelMemory(&a);
  EXPECT_EQ(24, _FindMemory(&a));
  EXPECT_EQ(before + 1, _CountMemory());
  _DelMemory(&a);
  EXPECT_EQ(-1, _FindMemory(&a));
  EXPECT_EQ(before, _CountMemory());
  // Undoing more than was registered changes nothing but the call counter.
  _DelMemory(&a);
  EXPECT_EQ(-1, _FindMemory(&a));
  EXPECT_EQ(before, _CountMemory());
  _AddMemory(&a, 4, 1, nullptr);
  EXPECT_EQ(4, _FindMemory(&a));
  _DelMemory(&a);
  EXPECT_EQ(-1, _FindMemory(&a));
}

TEST(MemoryRegistry, NullRegisteredTwiceStaysUntilBothAreUndone) {
  const int before = _CountMemory();
  _AddMemory(nullptr, 3, 1, nullptr);
  _AddMemory(nullptr, 5, 1, nullptr);
  EXPECT_EQ(before + 1, _CountMemory());
  _DelMemory(nullptr);
  EXPECT_EQ(5, _FindMemory(nullptr));
  _DelMemory(nullptr);
  EXPECT_EQ(-1, _FindMemory(nullptr));
  EXPECT_EQ(before, _CountMemory());
}

// Doubly registered keys among many neighbours, removed in a scrambled order: a removal that
// only lowers a count must not disturb the probe runs of the other keys.
TEST(MemoryRegistry, CountedKeysSurviveNeighbourRemovals) {
  constexpr int kBlocks = 3000;
  std::vector<char> keys(kBlocks);
  const int before = _CountMemory();
  for (int i = 0; i < kBlocks; ++i) {
    _AddMemory(&keys[static_cast<size_t>(i)], i, 1, nullptr);
    if (i % 3 == 0) _AddMemory(&keys[static_cast<size_t>(i)], i + 1, 1, nullptr);
  }
  std::vector<int> order(kBlocks);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(11));
  for (int i : order) _DelMemory(&keys[static_cast<size_t>(i)]);
  int left = 0;
  for (int i = 0; i < kBlocks; ++i) {
    const int expected = i % 3 == 0 ? i + 1 : -1;
    ASSERT_EQ(expected, _FindMemory(&keys[static_cast<size_t>(i)])) << "block " << i;
    if (expected != -1) ++left;
  }
  EXPECT_EQ(before + left, _CountMemory());
  for (int i = 0; i < kBlocks; i += 3) _DelMemory(&keys[static_cast<size_t>(i)]);
  EXPECT_EQ(before, _CountMemory());
}

// Thousands of neighbouring addresses, unregistered in a scrambled order and registered again:
// every lookup in between must still find exactly the blocks that are registered.
TEST(MemoryRegistry, ManyBlocksStayFindableThroughScrambledRemovals) {
  constexpr int kBlocks = 5000;
  std::vector<char> keys(kBlocks);
  const int before = _CountMemory();
  for (int i = 0; i < kBlocks; ++i) _AddMemory(&keys[static_cast<size_t>(i)], i + 1, 1, nullptr);
  ASSERT_EQ(before + kBlocks, _CountMemory());

  std::vector<int> order(kBlocks);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  std::vector<bool> registered(kBlocks, true);
  for (int step = 0; step < kBlocks / 2; ++step) {
    const int i = order[static_cast<size_t>(step)];
    _DelMemory(&keys[static_cast<size_t>(i)]);
    registered[static_cast<size_t>(i)] = false;
    if (step % 500 != 0) continue;
    for (int j = 0; j < kBlocks; ++j) {
      ASSERT_EQ(registered[static_cast<size_t>(j)] ? j + 1 : -1,
                _FindMemory(&keys[static_cast<size_t>(j)]))
          << "block " << j << " after " << step + 1 << " removals";
    }
  }
  EXPECT_EQ(before + kBlocks - kBlocks / 2, _CountMemory());

  for (int i = 0; i < kBlocks; ++i) _AddMemory(&keys[static_cast<size_t>(i)], 2 * i, 1, nullptr);
  EXPECT_EQ(before + kBlocks, _CountMemory());
  for (int i = 0; i < kBlocks; ++i) {
    ASSERT_EQ(2 * i, _FindMemory(&keys[static_cast<size_t>(i)])) << "block " << i;
  }
  // The blocks never removed were registered twice and need two removals.
  for (int i : order) {
    _DelMemory(&keys[static_cast<size_t>(i)]);
    if (registered[static_cast<size_t>(i)]) {
      EXPECT_EQ(2 * i, _FindMemory(&keys[static_cast<size_t>(i)])) << "block " << i;
      _DelMemory(&keys[static_cast<size_t>(i)]);
    }
  }
  EXPECT_EQ(before, _CountMemory());
  EXPECT_EQ(-1, _FindMemory(&keys[0]));
}

TEST(MemoryRegistry, NullIsAKeyLikeAnyOther) {
  const int before = _CountMemory();
  _AddMemory(nullptr, 3, 1, nullptr);
  EXPECT_EQ(3, _FindMemory(nullptr));
  EXPECT_EQ(before + 1, _CountMemory());
  _DelMemory(nullptr);
  EXPECT_EQ(-1, _FindMemory(nullptr));
  EXPECT_EQ(before, _CountMemory());
}

TEST(MemoryRegistry, ConcurrentAddsAndDeletesBalance) {
  constexpr int kThreads = 4;
  constexpr int kBlocks = 2000;
  const int before = _CountMemory();
  const long adds = _CountAddMemory();
  std::vector<std::vector<char>> keys(kThreads, std::vector<char>(kBlocks));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&keys, t] {
      for (auto& key : keys[static_cast<size_t>(t)]) _AddMemory(&key, 1, 1, nullptr);
      for (auto& key : keys[static_cast<size_t>(t)]) _DelMemory(&key);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(before, _CountMemory());
  EXPECT_EQ(adds + kThreads * kBlocks, _CountAddMemory());
}

TEST(CBaseObj, AnswersItsClassName) {
  CBaseObj object;
  EXPECT_STREQ("CBaseObj", object.GetClassNameA());
}

}  // namespace

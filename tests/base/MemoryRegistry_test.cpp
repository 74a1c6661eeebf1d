#include "orvelpdu/base/MemoryRegistry.h"

#include <gtest/gtest.h>

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
  int* freed = new int(1);
  delete freed;
  // Only the pointer value is used: a freed block or one never registered is just a key.
  _DelMemory(freed);
  _DelMemory(nullptr);
  EXPECT_EQ(before, _CountMemory());
  EXPECT_EQ(dels + 2, _CountDelMemory());
  EXPECT_EQ(-1, _FindMemory(nullptr));
}

TEST(MemoryRegistry, ReRegisteringReplacesTheSize) {
  int a = 0;
  const int before = _CountMemory();
  _AddMemory(&a, 8, 1, nullptr);
  _AddMemory(&a, 24, 1, nullptr);
  EXPECT_EQ(before + 1, _CountMemory());
  EXPECT_EQ(24, _FindMemory(&a));
  _DelMemory(&a);
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

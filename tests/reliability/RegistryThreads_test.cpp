// The memory registry under concurrent use, the way a process uses it: objects registered on
// one thread are destroyed on another, threads unregister pointers the registry never saw,
// and introspection runs alongside. Also the library's two pieces of state shared across
// threads by design: list items and PDU headers held by copies that are destroyed on
// different threads, and copies made at once on several threads from one source. Run under
// ThreadSanitizer in CI, which reports any data race.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvelpdu/base/MemoryRegistry.h"
#include "support/FailingNew.h"
#include "support/RegistrySnapshot.h"
#include "support/TestList.h"
#include "support/TestPdu.h"

namespace {

using orvelpdu::test::newTestItem;
using orvelpdu::test::RegistrySnapshot;
using orvelpdu::test::TestItem;
using orvelpdu::test::TestList;
using orvelpdu::test::TestPdu;

constexpr int kThreads = 4;

TEST(RegistryThreads, HammeringWithAddsDeletesAndUnknownPointersBalances) {
  constexpr int kRounds = 3000;
  const RegistrySnapshot registry;
  // Keys shared by all threads (each thread adds and deletes every one of them, so another
  // thread's delete may come first), keys of each thread's own, and keys never registered.
  std::vector<char> shared(64);
  std::vector<std::vector<char>> own(kThreads, std::vector<char>(kRounds));
  std::vector<char> unknown(kThreads);
  std::atomic<int> negativeFinds{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto& mine = own[static_cast<size_t>(t)];
      for (int i = 0; i < kRounds; ++i) {
        char* key = &mine[static_cast<size_t>(i)];
        char* common = &shared[static_cast<size_t>(i) % shared.size()];
        _AddMemory(key, i + 1, 1, nullptr);
        _AddMemory(common, t, 1, nullptr);
        if (_FindMemory(key) != i + 1) negativeFinds.fetch_add(1);
        _DelMemory(&unknown[static_cast<size_t>(t)]);
        _DelMemory(common);
        if (_CountMemory() < 1) negativeFinds.fetch_add(1);  // `key` at least is registered
        _DelMemory(key);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(0, negativeFinds.load());
  EXPECT_EQ(0, registry.liveBlocks());
  for (char& key : shared) EXPECT_EQ(-1, _FindMemory(&key));
  EXPECT_EQ(2L * kThreads * kRounds, registry.addCalls());
  EXPECT_EQ(3L * kThreads * kRounds, registry.delCalls());
}

// Items shared by copies of one list: each thread lets its copy go, and exactly one of them
// disposes of each item, whichever comes last.
TEST(RegistryThreads, ListCopiesReleasedOnDifferentThreadsDisposeOfEachItemOnce) {
  constexpr int kItems = 200;
  const RegistrySnapshot registry;
  for (int round = 0; round < 20; ++round) {
    auto source = std::make_unique<TestList>(kItems, CIPByteDataList::SHORT_SIZE);
    for (int i = 0; i < kItems; ++i) source->addValue(newTestItem(static_cast<short>(i)));
    std::vector<std::unique_ptr<TestList>> copies;
    for (int t = 0; t < kThreads; ++t) copies.push_back(std::make_unique<TestList>(*source));
    source.reset();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&copies, t] {
        TestList& mine = *copies[static_cast<size_t>(t)];
        // Reading the shared items, then letting them go, two ways.
        CIPByteBuffer wire;
        mine.getData(wire);
        if (t % 2 == 0) {
          mine.resetValues();
        } else {
          copies[static_cast<size_t>(t)].reset();
        }
      });
    }
    for (auto& thread : threads) thread.join();
    copies.clear();
    ASSERT_EQ(0, registry.liveItems()) << "round " << round;
    ASSERT_EQ(0, registry.liveBlocks()) << "round " << round;
  }
}

// A header shared by copies of one PDU: the last copy to go, on whichever thread, destroys
// and unregisters it, once.
TEST(RegistryThreads, PduCopiesReleasedOnDifferentThreadsUnregisterTheHeaderOnce) {
  const RegistrySnapshot registry;
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    auto source = std::make_unique<TestPdu>();
    source->setCommandId(round);
    std::vector<std::unique_ptr<TestPdu>> copies;
    for (int t = 0; t < kThreads; ++t) copies.push_back(std::make_unique<TestPdu>(*source));
    source.reset();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&copies, t] { copies[static_cast<size_t>(t)].reset(); });
    }
    for (auto& thread : threads) thread.join();
  }
  EXPECT_EQ(0, registry.liveBlocks());
  EXPECT_EQ(kRounds, registry.delCalls());
}

// A PDU that owns nothing on the heap but its header, so that the header's block is the
// first one its destruction frees; it shows the address the registry keys the header by.
class HeaderPdu : public CPDU {
 public:
  int getData(CIPByteBuffer& out) override { return getHeader(out); }
  int setData(CIPByteBuffer& in) override { return setHeader(in); }
  const void* headerAddress() const { return header; }
};

// While the first PDU's header block is kept aside between its free and its late
// unregistration, a second thread makes a PDU whose header gets exactly that address.
std::unique_ptr<HeaderPdu> gSecond;

void makeSecondPduAtTheFreedAddress(void* /*block*/) {
  std::thread second([] {
    auto pdu = std::make_unique<HeaderPdu>();
    orvelpdu::test::takeKeptBlockNext();
    pdu->setCommandId(2);  // creates and registers the header
    gSecond = std::move(pdu);
  });
  second.join();
}

// The interleaving that used to lose a live block: A's header is freed; B's new header gets
// the same address and is registered; then A's late _DelMemory arrives. B's header must stay
// registered until B itself lets it go.
TEST(RegistryThreads, LateUnregisterOfAFreedHeaderKeepsTheLiveBlockAtItsAddressRegistered) {
  const int before = _CountMemory();
  auto first = std::make_unique<HeaderPdu>();
  first->setCommandId(1);
  const void* address = first->headerAddress();
  ASSERT_NE(-1, _FindMemory(const_cast<void*>(address)));

  orvelpdu::test::keepNextFreedBlock(makeSecondPduAtTheFreedAddress);
  first.reset();  // unregisters, then frees the block, which runs the second thread
  ASSERT_NE(nullptr, gSecond);
  // The race really happened: the second header lives where the first one was.
  ASSERT_EQ(address, gSecond->headerAddress());

  EXPECT_EQ(static_cast<int>(sizeof(CPDUHeader)), _FindMemory(const_cast<void*>(address)));
  EXPECT_EQ(before + 1, _CountMemory());
  EXPECT_EQ(2, gSecond->getCommandId());

  gSecond.reset();
  EXPECT_EQ(-1, _FindMemory(const_cast<void*>(address)));
  EXPECT_EQ(before, _CountMemory());
}

// Runs while the first PDU's header block is free: an unregistered item that the allocator
// put at that address is disposed of on a second thread (a list unregisters every item it
// disposes of), and a third thread then makes a PDU whose header gets the address.
const void* gFreedHeader = nullptr;

void disposeItemThenMakeThirdPduAtTheFreedAddress(void* /*block*/) {
  std::thread item([] { _DelMemory(const_cast<void*>(gFreedHeader)); });
  item.join();
  makeSecondPduAtTheFreedAddress(nullptr);
}

// A header's address must not be free while its registration is pending: were it free, the
// disposal of an item that got the address would undo the header's registration, and the
// header's own late _DelMemory would then unregister the next live header made there.
TEST(RegistryThreads, AHeadersAddressIsReusedOnlyAfterItsUnregistration) {
  const int before = _CountMemory();
  auto first = std::make_unique<HeaderPdu>();
  first->setCommandId(1);
  gFreedHeader = first->headerAddress();

  orvelpdu::test::keepNextFreedBlock(disposeItemThenMakeThirdPduAtTheFreedAddress);
  first.reset();
  ASSERT_NE(nullptr, gSecond);
  ASSERT_EQ(gFreedHeader, gSecond->headerAddress()) << "the third header reused the address";

  EXPECT_EQ(static_cast<int>(sizeof(CPDUHeader)), _FindMemory(const_cast<void*>(gFreedHeader)))
      << "the live header at the reused address is registered";
  EXPECT_EQ(before + 1, _CountMemory());

  gSecond.reset();
  EXPECT_EQ(-1, _FindMemory(const_cast<void*>(gFreedHeader)));
  EXPECT_EQ(before, _CountMemory());
}

// ---- Waiting for a shard that another thread holds ----

// A test holds a shard's lock this way: a registration that grows its shard's table releases
// the table's old storage with the lock held, and the allocator's keepNextFreedBlock hook
// runs right there. runWhileAShardIsHeld registers fresh keys until that happens, so that
// `whileHeld` runs with the shard of gHeldKey locked by the calling thread; then it joins the
// waiter that `whileHeld` started, if any, and unregisters every key it registered. False
// when no registration grew a table.
const void* gHeldKey = nullptr;
void (*gWhileHeld)() = nullptr;
bool gHeld = false;
std::thread gWaiter;

bool runWhileAShardIsHeld(void (*whileHeld)()) {
  constexpr size_t kStride = 16;  // the registry ignores an address's low 4 bits
  std::vector<char> keys(kStride << 16);
  gWhileHeld = whileHeld;
  gHeld = false;
  orvelpdu::test::keepNextFreedBlock([](void*) {
    gHeld = true;
    gWhileHeld();
  });
  size_t added = 0;
  for (; added < keys.size() / kStride && !gHeld; ++added) {
    gHeldKey = &keys[added * kStride];
    _AddMemory(&keys[added * kStride], 7, 1, nullptr);
  }
  if (!gHeld) orvelpdu::test::keepNextFreedBlock(nullptr);
  if (gWaiter.joinable()) gWaiter.join();
  for (size_t i = 0; i < added; ++i) _DelMemory(&keys[i * kStride]);
  return gHeld;
}

// The scheduler's state letter of one of this process's threads (R running or runnable, S
// sleeping), or '?' when /proc cannot tell.
char threadState(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t name = line.rfind(')');  // the thread's name may hold spaces and parentheses
  return name == std::string::npos || name + 2 >= line.size() ? '?' : line[name + 2];
}

// A thread that looks the held key up, and what it saw.
std::atomic<pid_t> gWaiterTid{0};
std::atomic<bool> gWaiterStarted{false};
std::atomic<int> gWaiterFound{0};

void startWaiter(void (*prepare)()) {
  gWaiterTid = 0;
  gWaiterStarted = false;
  gWaiter = std::thread([prepare] {
    if (prepare != nullptr) prepare();
    gWaiterTid = static_cast<pid_t>(syscall(SYS_gettid));
    gWaiterStarted = true;
    gWaiterFound = _FindMemory(const_cast<void*>(gHeldKey));
  });
  while (!gWaiterStarted) std::this_thread::yield();
}

// Seen by the holder while it keeps the shard: the waiter's state letters, each change once.
std::string gStatesSeen;

void pollUntilTheWaiterSleeps() {
  startWaiter(nullptr);
  // A waiter that never sleeps fails the test; this only bounds how long that takes to show.
  for (int poll = 0; poll < 5000; ++poll) {
    const char state = threadState(gWaiterTid);
    if (gStatesSeen.empty() || gStatesSeen.back() != state) gStatesSeen += state;
    if (state == 'S' || state == '?') return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// A thread that finds a shard held spins briefly, then sleeps until the holder lets go,
// rather than staying runnable for as long as the holder needs: a holder that has lost its
// processor can then always get it back and finish.
TEST(RegistryThreads, AThreadWaitingForAHeldShardSleepsUntilItIsReleased) {
  gStatesSeen.clear();
  ASSERT_TRUE(runWhileAShardIsHeld(pollUntilTheWaiterSleeps));
  if (gStatesSeen.back() == '?') GTEST_SKIP() << "/proc/self/task/<tid>/stat is not readable";
  EXPECT_EQ('S', gStatesSeen.back()) << "states seen while the shard was held: " << gStatesSeen;
  EXPECT_EQ(7, gWaiterFound.load()) << "the waiter saw the registration the holder completed";
}

// The real-time case: the waiter runs under SCHED_FIFO on the holder's processor, so the
// holder runs again only once the waiter sleeps (or, with a waiter that never sleeps, once
// the kernel's real-time throttling takes the processor from it, which is when the holder
// finds it still runnable).
int gCpu = 0;
std::string gFifoRefusal;

void becomeRealTimeOnTheHoldersCpu() {
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  CPU_SET(gCpu, &cpus);
  pthread_setaffinity_np(pthread_self(), sizeof(cpus), &cpus);
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  const int error = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  if (error != 0) gFifoRefusal = std::strerror(error);
}

void startARealTimeWaiter() {
  startWaiter(becomeRealTimeOnTheHoldersCpu);
  gStatesSeen = threadState(gWaiterTid);
}

TEST(RegistryThreads, ARealTimeWaiterOnTheHoldersProcessorLetsTheHolderFinish) {
  // Whether this process may run a SCHED_FIFO thread at all.
  std::thread probe([] {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    const int error = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    if (error != 0) gFifoRefusal = std::strerror(error);
  });
  probe.join();
  if (!gFifoRefusal.empty()) {
    GTEST_SKIP() << "a SCHED_FIFO thread needs CAP_SYS_NICE or an RLIMIT_RTPRIO above 0 ("
                 << gFifoRefusal << "); the waiting policy itself is tested beside this";
  }
  gStatesSeen.clear();
  std::thread holder([] {
    gCpu = sched_getcpu();
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    CPU_SET(gCpu, &cpus);
    pthread_setaffinity_np(pthread_self(), sizeof(cpus), &cpus);
    gHeld = runWhileAShardIsHeld(startARealTimeWaiter);
  });
  holder.join();
  ASSERT_TRUE(gHeld);
  ASSERT_TRUE(gFifoRefusal.empty()) << gFifoRefusal;
  if (gStatesSeen == "?") GTEST_SKIP() << "/proc/self/task/<tid>/stat is not readable";
  EXPECT_EQ("S", gStatesSeen) << "the holder ran again while the real-time waiter was runnable";
  EXPECT_EQ(7, gWaiterFound.load());
}

// A PDU carrying a list, so that copying it copies a list too.
class ListPdu : public TestPdu {
 public:
  TestList list{100, CIPByteDataList::SHORT_SIZE};
};

// Runs make(t) on kThreads threads that start together, then joins them.
template <typename Work>
void onFourThreadsAtOnce(Work work) {
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&start, &work, t] {
      start.arrive_and_wait();
      work(t);
    });
  }
  for (auto& thread : threads) thread.join();
}

constexpr int kCopiesEach = 2;

// Reading one list on several threads at once, as copying a const object is, must be safe:
// every copy holds the source's very items, and each item is disposed of once whichever
// thread lets go of it last.
TEST(CopyThreads, FourThreadsCopyingOneListThenDroppingTheCopiesElsewhereDisposeOfEachItemOnce) {
  constexpr int kItems = 50;
  const int before = _CountMemory();
  const int live = TestItem::liveCount();
  for (int round = 0; round < 20; ++round) {
    auto source = std::make_unique<TestList>(kItems, CIPByteDataList::SHORT_SIZE);
    for (int i = 0; i < kItems; ++i) source->addValue(newTestItem(static_cast<short>(i)));
    // After the first round some items are already shared before the threads start.
    std::unique_ptr<TestList> earlier;
    if (round % 2 == 1) earlier = std::make_unique<TestList>(*source);
    const TestList& shared = *source;
    std::vector<std::unique_ptr<TestList>> copies(kThreads * kCopiesEach);
    onFourThreadsAtOnce([&](int t) {
      // Copy construction on one copy, assignment over a list of its own on the other.
      copies[static_cast<size_t>(t * kCopiesEach)] = std::make_unique<TestList>(shared);
      auto assigned = std::make_unique<TestList>(3, CIPByteDataList::BYTE_SIZE);
      assigned->addValue(newTestItem(-1));
      *assigned = shared;
      copies[static_cast<size_t>(t * kCopiesEach + 1)] = std::move(assigned);
    });
    for (const auto& copy : copies) {
      ASSERT_EQ(kItems, copy->getCount());
      for (int i = 0; i < kItems; ++i) ASSERT_EQ(source->getValue(i), copy->getValue(i));
    }
    source.reset();
    earlier.reset();
    onFourThreadsAtOnce([&](int t) {
      // Each thread drops the copies another thread made.
      const int maker = (t + 1) % kThreads;
      for (int c = 0; c < kCopiesEach; ++c)
        copies[static_cast<size_t>(maker * kCopiesEach + c)].reset();
    });
    ASSERT_EQ(live, TestItem::liveCount()) << "round " << round;
    ASSERT_EQ(before, _CountMemory()) << "round " << round;
  }
}

// The same for a PDU: its copies share the header and the items of the list it carries.
TEST(CopyThreads, FourThreadsCopyingOnePduThenDroppingTheCopiesElsewhereReleaseEverythingOnce) {
  const int before = _CountMemory();
  const int live = TestItem::liveCount();
  const long dels = _CountDelMemory();
  constexpr int kRounds = 20;
  constexpr int kItems = 30;
  for (int round = 0; round < kRounds; ++round) {
    auto source = std::make_unique<ListPdu>();
    source->setCommandId(round);
    for (int i = 0; i < kItems; ++i) source->list.addValue(newTestItem(static_cast<short>(i)));
    const ListPdu& shared = *source;
    std::vector<std::unique_ptr<ListPdu>> copies(kThreads);
    onFourThreadsAtOnce(
        [&](int t) { copies[static_cast<size_t>(t)] = std::make_unique<ListPdu>(shared); });
    for (const auto& copy : copies) {
      ASSERT_EQ(round, copy->getCommandId());
      ASSERT_EQ(kItems, copy->list.getCount());
      ASSERT_EQ(source->list.getValue(0), copy->list.getValue(0));
    }
    source.reset();
    onFourThreadsAtOnce([&](int t) { copies[static_cast<size_t>((t + 1) % kThreads)].reset(); });
    ASSERT_EQ(live, TestItem::liveCount()) << "round " << round;
  }
  EXPECT_EQ(before, _CountMemory());
  // Each round unregisters one header and every item once.
  EXPECT_EQ(dels + kRounds * (1 + kItems), _CountDelMemory());
}

}  // namespace

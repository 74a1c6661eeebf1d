#include "orvelpdu/pdu/CPDU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <new>
#include <thread>
#include <unordered_set>
#include <vector>

#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/pdu/HeaderBlockCache.h"
#include "support/FailingNew.h"
#include "support/Hex.h"
#include "support/RegistrySnapshot.h"
#include "support/TestPdu.h"

namespace {

using orvelpdu::test::allocationCount;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::forEachAllocationFailure;
using orvelpdu::test::hexOf;
using orvelpdu::test::RegistrySnapshot;
using orvelpdu::test::runWithAllocationFailure;
using orvelpdu::test::ScopedAllocationFailure;
using orvelpdu::test::TestPdu;

constexpr int kFill = static_cast<int>(0xCDCDCDCDu);
constexpr int kHeaderSize = static_cast<int>(sizeof(CPDUHeader));

// Opens the protected members that tests look at.
class ExposedPdu : public TestPdu {
 public:
  using TestPdu::TestPdu;
  CPDUHeader* headerObject() const { return header; }
  int assigned() const { return sequenceAssigned; }
  using CPDU::findOptional;
  using CPDU::getExtraOptional;
  using CPDU::getOptionalBody;
  using CPDU::registerExtraOptional;
  using CPDU::registerOptional;
  using CPDU::replaceExtraOptional;
  using CPDU::setExtraOptional;
  using CPDU::setOptionalBody;
};

// Every test starts as in a freshly loaded library and leaves the statics as it found them.
class PduTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedCounter = CPDU::sequenceNumber;
    CPDU::sequenceNumber = 0;
  }
  void TearDown() override {
    CPDU::sequenceNumber = savedCounter;
    CPDU::VALID_NONE = 0;
    CPDU::VALID_HEADER = 1;
    CPDU::VALID_BODY = 2;
    CPDU::VALID_ALL = 3;
  }
  int savedCounter = 0;
};

// ---- Header ownership ----

using CPDUOwnership = PduTest;

TEST_F(CPDUOwnership, FirstReadRegistersTheHeaderOnceAndDestructionUnregistersIt) {
  RegistrySnapshot registry;
  CPDUHeader* created = nullptr;
  {
    ExposedPdu pdu;
    EXPECT_EQ(nullptr, pdu.headerObject());
    EXPECT_EQ(0, pdu.getCommandLength());
    created = pdu.headerObject();
    ASSERT_NE(nullptr, created);
    EXPECT_EQ(kHeaderSize, _FindMemory(created));
    EXPECT_EQ(0, pdu.getCommandId());
    EXPECT_EQ(0, pdu.getCommandStatus());
    EXPECT_EQ(1, pdu.getSequenceNumber());
    pdu.setCommandId(5);
    EXPECT_EQ(created, pdu.headerObject());
    EXPECT_EQ(1, registry.addCalls());
    EXPECT_EQ(0, registry.delCalls());
    EXPECT_EQ(1, registry.liveBlocks());
  }
  EXPECT_EQ(-1, _FindMemory(created));
  EXPECT_EQ(1, registry.delCalls());
  EXPECT_EQ(0, registry.liveBlocks());
}

TEST_F(CPDUOwnership, PdusThatNeverTouchTheirHeaderMakeNoRegistryCall) {
  RegistrySnapshot registry;
  {
    ExposedPdu plain;
    ExposedPdu copy(plain);
    ExposedPdu target;
    target = plain;
    plain.setValid(CPDU::VALID_BODY);
    EXPECT_EQ(0, plain.isValid());
    EXPECT_EQ(nullptr, copy.headerObject());
    EXPECT_EQ(nullptr, target.headerObject());
  }
  EXPECT_EQ(0, registry.addCalls());
  EXPECT_EQ(0, registry.delCalls());
}

TEST_F(CPDUOwnership, CopiesShareOneHeaderAndSeeEachOthersChanges) {
  RegistrySnapshot registry;
  {
    ExposedPdu source;
    source.setCommandId(7);
    source.setValid(CPDU::VALID_BODY);
    source.setSequenceNumber(40);
    ExposedPdu constructed(source);
    ExposedPdu assigned;
    assigned = source;
    EXPECT_EQ(source.headerObject(), constructed.headerObject());
    EXPECT_EQ(source.headerObject(), assigned.headerObject());
    EXPECT_EQ(CPDU::VALID_BODY, assigned.getValid());
    EXPECT_EQ(1, assigned.assigned());

    constructed.setCommandStatus(3);
    assigned.setCommandLength(64);
    source.setCommandId(8);
    for (ExposedPdu* pdu : {&source, &constructed, &assigned}) {
      EXPECT_EQ(64, pdu->getCommandLength());
      EXPECT_EQ(8, pdu->getCommandId());
      EXPECT_EQ(3, pdu->getCommandStatus());
      EXPECT_EQ(40, pdu->getSequenceNumber());
    }
    EXPECT_EQ(1, registry.addCalls());
  }
  EXPECT_EQ(1, registry.delCalls());
  EXPECT_EQ(0, registry.liveBlocks());
}

TEST_F(CPDUOwnership, LastPduToLetGoReleasesTheSharedHeaderInAnyOrder) {
  std::array<int, 3> order = {0, 1, 2};
  do {
    RegistrySnapshot registry;
    std::array<std::unique_ptr<ExposedPdu>, 3> pdus;
    pdus[0] = std::make_unique<ExposedPdu>();
    pdus[0]->setCommandId(1);
    pdus[1] = std::make_unique<ExposedPdu>(*pdus[0]);
    pdus[2] = std::make_unique<ExposedPdu>();
    pdus[2]->setCommandId(2);  // its own header, released by the assignment below
    *pdus[2] = *pdus[1];
    CPDUHeader* shared = pdus[0]->headerObject();
    EXPECT_EQ(2, registry.addCalls());
    EXPECT_EQ(1, registry.delCalls());

    for (int step = 0; step < 3; ++step) {
      pdus[static_cast<size_t>(order[static_cast<size_t>(step)])].reset();
      if (step < 2) {
        EXPECT_EQ(kHeaderSize, _FindMemory(shared)) << "after " << step + 1 << " released";
      }
    }
    EXPECT_EQ(-1, _FindMemory(shared));
    EXPECT_EQ(2, registry.delCalls());
    EXPECT_EQ(0, registry.liveBlocks());
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(CPDUOwnership, AssignmentReleasesTheTargetsHeaderOnlyWhenNoOtherPduHoldsIt) {
  RegistrySnapshot registry;
  ExposedPdu target;
  target.setCommandId(1);
  CPDUHeader* first = target.headerObject();
  ExposedPdu source;
  source.setCommandId(2);

  ExposedPdu keeper(target);  // a second holder of `first`
  target = source;
  EXPECT_EQ(kHeaderSize, _FindMemory(first));
  EXPECT_EQ(0, registry.delCalls());
  EXPECT_EQ(1, keeper.getCommandId());
  EXPECT_EQ(2, target.getCommandId());

  keeper = source;  // now nothing holds `first`
  EXPECT_EQ(-1, _FindMemory(first));
  EXPECT_EQ(1, registry.delCalls());
  EXPECT_EQ(2, keeper.getCommandId());
  EXPECT_EQ(1, registry.liveBlocks());
}

TEST_F(CPDUOwnership, SelfAssignmentAndReassigningAnAlreadySharedHeaderChangeNothing) {
  ExposedPdu pdu;
  pdu.setCommandId(4);
  ExposedPdu copy(pdu);
  CPDUHeader* held = pdu.headerObject();
  RegistrySnapshot registry;

  ExposedPdu& alias = pdu;
  pdu = alias;
  copy = pdu;
  pdu = copy;
  EXPECT_EQ(held, pdu.headerObject());
  EXPECT_EQ(held, copy.headerObject());
  EXPECT_EQ(4, pdu.getCommandId());
  EXPECT_EQ(kHeaderSize, _FindMemory(held));
  EXPECT_EQ(0, registry.addCalls());
  EXPECT_EQ(0, registry.delCalls());
}

TEST_F(CPDUOwnership, AssigningAPduWithoutHeaderDropsTheTargetsHeader) {
  RegistrySnapshot registry;
  ExposedPdu target;
  target.setCommandId(9);
  CPDUHeader* old = target.headerObject();
  ExposedPdu headerless;
  target = headerless;
  EXPECT_EQ(nullptr, target.headerObject());
  EXPECT_EQ(-1, _FindMemory(old));
  EXPECT_EQ(0, target.getCommandId());  // a new header, with the defaults
  EXPECT_EQ(nullptr, headerless.headerObject());
  EXPECT_EQ(2, registry.addCalls());
}

TEST_F(CPDUOwnership, HeaderCreationFailureLeavesNoHeaderAndNothingRegistered) {
  const long failures = forEachAllocationFailure([](long k) {
    RegistrySnapshot registry;
    ExposedPdu pdu;
    const bool fired = runWithAllocationFailure(k, [&] { pdu.setCommandId(3); }).caught;
    if (fired) {
      EXPECT_EQ(nullptr, pdu.headerObject()) << "k=" << k;
      EXPECT_EQ(0, registry.liveBlocks()) << "k=" << k;
      EXPECT_EQ(0, registry.delCalls()) << "k=" << k;
      pdu.setCommandId(3);  // recovers once memory is there again
    }
    EXPECT_EQ(3, pdu.getCommandId());
    EXPECT_EQ(1, registry.liveBlocks());
    return fired;
  });
  // At least the header itself is allocated.
  EXPECT_GE(failures, 1);
}

TEST_F(CPDUOwnership, CopyingAndAssigningDoNotAllocate) {
  ExposedPdu source;
  source.setCommandId(1);
  ExposedPdu other;
  other.setCommandId(2);
  const long before = allocationCount();
  {
    ExposedPdu copy(source);
    copy = other;
    other = source;
  }
  EXPECT_EQ(before, allocationCount());
  EXPECT_EQ(source.headerObject(), other.headerObject());
}

// A steady stream of PDUs reuses the header blocks its thread released: no allocation, while
// every header is still registered when created and unregistered when let go. With the
// thread's cache off, every header is allocated again; a header released on another thread
// is kept by that thread's cache and freed when it ends (AddressSanitizer reports a leak).
TEST_F(CPDUOwnership, AStreamOfPdusAllocatesNoHeaderBlockAndRegistersEveryHeader) {
  static constexpr long kPdus = 100;
  auto stream = [] {
    const RegistrySnapshot registry;
    const long before = allocationCount();
    for (int i = 0; i < kPdus; ++i) {
      ExposedPdu pdu;
      pdu.setCommandId(i);
      EXPECT_EQ(kHeaderSize, _FindMemory(pdu.headerObject()));
    }
    EXPECT_EQ(kPdus, registry.addCalls());
    EXPECT_EQ(kPdus, registry.delCalls());
    EXPECT_EQ(0, registry.liveBlocks());
    return allocationCount() - before;
  };
  stream();  // the thread's cache now holds a block
  EXPECT_EQ(0, stream());

  // Off, every header is allocated; the registry's tables may grow besides, for the new
  // addresses an allocator that does not reuse a freed block at once hands out.
  orvelpdu::setHeaderBlockCacheEnabled(false);
  EXPECT_GE(stream(), kPdus);
  orvelpdu::setHeaderBlockCacheEnabled(true);
  EXPECT_LE(stream(), 2) << "one header allocation, then the block goes round";

  auto made = std::make_unique<ExposedPdu>();
  made->setCommandId(1);
  const void* block = made->headerObject();
  std::thread other([&made, block] {
    made.reset();
    EXPECT_EQ(-1, _FindMemory(const_cast<void*>(block)));
  });
  other.join();
}

// ---- Header step and field forwarding ----

using CPDUHeaderStep = PduTest;

TEST_F(CPDUHeaderStep, SetHeaderParsesSixteenBytesAndKeepsTheReceivedNumber) {
  ExposedPdu pdu;
  CIPByteBuffer in = bufferFromHex("00 00 00 18 00 00 00 04 00 00 00 00 00 00 00 4D  01 02");
  EXPECT_EQ(1, pdu.setHeader(in));
  EXPECT_EQ("01 02", hexOf(in));
  EXPECT_EQ(24, pdu.getCommandLength());
  EXPECT_EQ(4, pdu.getCommandId());
  pdu.assignSequenceNumber();
  EXPECT_EQ(77, pdu.getSequenceNumber());
  EXPECT_EQ(0, CPDU::sequenceNumber);
  pdu.assignSequenceNumber(5);
  EXPECT_EQ(1, pdu.getSequenceNumber());
}

TEST_F(CPDUHeaderStep, SetHeaderOnShortBufferReturnsOneWithFillValues) {
  ExposedPdu pdu;
  CIPByteBuffer in = bufferFromHex("00 00 00 10 00 00 00 02 12 34");
  EXPECT_EQ(1, pdu.setHeader(in));
  EXPECT_EQ(0u, in.getLength());
  EXPECT_EQ(2, pdu.getCommandId());
  EXPECT_EQ(kFill, pdu.getCommandStatus());
  EXPECT_EQ(kFill, pdu.getSequenceNumber());
  EXPECT_EQ(1, pdu.assigned());
}

TEST_F(CPDUHeaderStep, GetHeaderAppendsTheSharedHeaderAfterExistingBytes) {
  ExposedPdu pdu;
  ExposedPdu copy(pdu);  // no header yet: the copy gets its own on first use
  pdu.setCommandLength(16);
  pdu.setCommandId(-1);
  pdu.setCommandStatus(0x0102);
  CIPByteBuffer out = bufferFromHex("EE");
  EXPECT_EQ(1, pdu.getHeader(out));
  EXPECT_EQ("EE 00 00 00 10 FF FF FF FF 00 00 01 02 00 00 00 01", hexOf(out));
  CIPByteBuffer fromCopy;
  copy.getHeader(fromCopy);
  EXPECT_EQ("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01", hexOf(fromCopy));
}

// A PDU type that stamps its command id on every header it comes to hold, whichever
// operation first needs one.
class StampingPdu : public TestPdu {
 public:
  void checkHeader() override {
    const bool fresh = header == nullptr;
    CPDU::checkHeader();
    if (fresh) header->setCommandId(0x80000009);
  }
};

TEST_F(CPDUHeaderStep, EveryHeaderAccessGoesThroughTheOverriddenCheckHeader) {
  StampingPdu encoded;
  encoded.assignSequenceNumber();
  CIPByteBuffer out;
  encoded.getHeader(out);
  EXPECT_EQ("00 00 00 00 80 00 00 09 00 00 00 00 00 00 00 01", hexOf(out));

  StampingPdu read;
  EXPECT_EQ(static_cast<int>(0x80000009u), read.getCommandId());
  StampingPdu reset;
  reset.resetSequenceNumber();
  EXPECT_EQ(static_cast<int>(0x80000009u), reset.getCommandId());
  StampingPdu compared;
  StampingPdu other;
  EXPECT_EQ(1, compared.equals(&other));
  EXPECT_EQ(static_cast<int>(0x80000009u), other.getCommandId());
}

// ---- Sequence numbers ----

using CPDUSequence = PduTest;

TEST_F(CPDUSequence, FirstDrawsGiveOneAndTwoAndANumberedPduKeepsItsNumber) {
  ExposedPdu first;
  ExposedPdu second;
  EXPECT_EQ(1, first.getSequenceNumber());  // header default, not a drawn number
  EXPECT_EQ(0, first.assigned());
  first.assignSequenceNumber();
  second.assignSequenceNumber();
  EXPECT_EQ(1, first.getSequenceNumber());
  EXPECT_EQ(2, second.getSequenceNumber());
  first.assignSequenceNumber();
  first.assignSequenceNumber(0);
  EXPECT_EQ(1, first.getSequenceNumber());
  EXPECT_EQ(2, CPDU::sequenceNumber);
  first.assignSequenceNumber(5);
  EXPECT_EQ(3, first.getSequenceNumber());
  EXPECT_EQ(3, CPDU::sequenceNumber);
}

TEST_F(CPDUSequence, SetNumberIsKeptAndResetNumberIsReplacedAtTheNextDraw) {
  ExposedPdu set;
  set.setSequenceNumber(9);
  set.assignSequenceNumber();
  EXPECT_EQ(9, set.getSequenceNumber());
  EXPECT_EQ(0, CPDU::sequenceNumber);

  set.resetSequenceNumber();
  EXPECT_EQ(0, set.getSequenceNumber());
  EXPECT_EQ(0, set.assigned());
  EXPECT_EQ(0, CPDU::sequenceNumber);
  set.assignSequenceNumber();
  EXPECT_EQ(1, set.getSequenceNumber());

  ExposedPdu fresh;
  fresh.resetSequenceNumber();  // creates the header to hold the 0
  EXPECT_EQ(0, fresh.getSequenceNumber());
}

TEST_F(CPDUSequence, DrawAfterTheTopRestartsAtOneAndNeverGivesZero) {
  CPDU::sequenceNumber = INT_MAX - 1;
  ExposedPdu pdu;
  pdu.assignSequenceNumber(1);
  EXPECT_EQ(INT_MAX, pdu.getSequenceNumber());
  pdu.assignSequenceNumber(1);
  EXPECT_EQ(1, pdu.getSequenceNumber());
  EXPECT_EQ(1, CPDU::sequenceNumber);
  pdu.assignSequenceNumber(1);
  EXPECT_EQ(2, pdu.getSequenceNumber());
}

TEST_F(CPDUSequence, CounterHoldingZeroOrANegativeValueDrawsOne) {
  for (int stored : {0, -1, -2, -100000, INT_MIN}) {
    CPDU::sequenceNumber = stored;
    ExposedPdu pdu;
    pdu.assignSequenceNumber();
    EXPECT_EQ(1, pdu.getSequenceNumber()) << "counter was " << stored;
    EXPECT_EQ(1, CPDU::sequenceNumber) << "counter was " << stored;
  }
}

TEST_F(CPDUSequence, DrawLostToAFailedHeaderIsNeverHandedOutAgain) {
  ExposedPdu failed;
  {
    ScopedAllocationFailure failure(1);
    EXPECT_THROW(failed.assignSequenceNumber(), std::bad_alloc);
  }
  EXPECT_EQ(1, CPDU::sequenceNumber);
  EXPECT_EQ(0, failed.assigned());
  EXPECT_EQ(nullptr, failed.headerObject());
  failed.assignSequenceNumber();
  EXPECT_EQ(2, failed.getSequenceNumber());
}

// ---- Validity and comparison ----

using CPDUValidity = PduTest;

TEST_F(CPDUValidity, LevelsCompareByValueAndHeaderValidityByMagnitude) {
  CPDU::VALID_ALL = 3;
  ExposedPdu pdu;
  ExposedPdu numbered(7);
  EXPECT_EQ(3, pdu.getValid());
  EXPECT_EQ(3, numbered.getValid());
  EXPECT_EQ(1, pdu.isValid());
  EXPECT_EQ(0, pdu.isInvalid());
  EXPECT_EQ(1, pdu.isHeaderValid());

  pdu.setValid(CPDU::VALID_BODY);
  EXPECT_EQ(0, pdu.isValid());
  EXPECT_EQ(0, pdu.isInvalid());
  EXPECT_EQ(1, pdu.isHeaderValid());

  pdu.setValid(CPDU::VALID_NONE);
  EXPECT_EQ(1, pdu.isInvalid());
  EXPECT_EQ(0, pdu.isHeaderValid());

  pdu.setValid(200);
  EXPECT_EQ(200, pdu.getValid());
  EXPECT_EQ(0, pdu.isValid());
  EXPECT_EQ(0, pdu.isInvalid());
  EXPECT_EQ(1, pdu.isHeaderValid());
}

TEST_F(CPDUValidity, LevelsAreReadAtTheirCurrentValues) {
  CPDU::VALID_ALL = 7;
  ExposedPdu pdu;
  EXPECT_EQ(7, pdu.getValid());
  EXPECT_EQ(1, pdu.isValid());
  CPDU::VALID_HEADER = 8;
  EXPECT_EQ(0, pdu.isHeaderValid());
}

TEST_F(CPDUValidity, EqualsComparesOnlySequenceNumbersAndCreatesMissingHeaders) {
  ExposedPdu a;
  EXPECT_EQ(0, a.equals(nullptr));
  EXPECT_EQ(nullptr, a.headerObject());

  RegistrySnapshot registry;
  ExposedPdu b;
  EXPECT_EQ(1, a.equals(&b));  // both still carry the default 1
  EXPECT_EQ(2, registry.addCalls());

  a.setCommandId(1);
  b.setCommandId(2);
  b.setValid(CPDU::VALID_NONE);
  b.name = "different";
  EXPECT_EQ(1, b.equals(&a));
  b.assignSequenceNumber();
  b.assignSequenceNumber(1);
  EXPECT_EQ(0, a.equals(&b));
}

// ---- Hooks ----

using CPDUHooks = PduTest;

TEST_F(CPDUHooks, DefaultHooksLeaveTheBufferAloneAndFindNothing) {
  RegistrySnapshot registry;
  ExposedPdu pdu;
  CIPByteBuffer buffer = bufferFromHex("01 02 03");
  EXPECT_EQ(1, pdu.CPDU::getBody(buffer));
  EXPECT_EQ(1, pdu.CPDU::setBody(buffer));
  EXPECT_EQ(1, pdu.getOptionalBody(buffer));
  EXPECT_EQ(1, pdu.setOptionalBody(buffer));
  pdu.setExtraOptional(short{1}, buffer);
  pdu.registerOptional(nullptr);
  pdu.registerExtraOptional(nullptr);
  pdu.replaceExtraOptional(nullptr);
  pdu.setExtraOptional(nullptr);
  EXPECT_EQ("01 02 03", hexOf(buffer));
  for (short tag : {short{0}, short{1}, short{-1}, short{0x1234}}) {
    EXPECT_EQ(nullptr, pdu.findOptional(tag));
    EXPECT_EQ(nullptr, pdu.getExtraOptional(tag));
  }
  EXPECT_EQ(0, registry.addCalls());
}

// ---- The two roads of a PDU ----

using CPDURoads = PduTest;

TEST_F(CPDURoads, OutgoingPduIsNumberedAndEncodedWholeAfterItsHeader) {
  TestPdu earlier;
  earlier.assignSequenceNumber();
  TestPdu pdu;
  pdu.setCommandId(0x00000004);
  pdu.setCommandStatus(0);
  pdu.assignSequenceNumber();
  pdu.flags = 0x81;
  pdu.port = -2;
  pdu.amount = 0x01020304;
  pdu.name = "ab";
  pdu.setCommandLength(TestPdu::wireLength(2));
  CIPByteBuffer out;
  EXPECT_EQ(1, pdu.getData(out));
  EXPECT_EQ(
      "00 00 00 1A 00 00 00 04 00 00 00 00 00 00 00 02 "
      "81 FF FE 01 02 03 04 61 62 00",
      hexOf(out));
  EXPECT_EQ(static_cast<unsigned int>(TestPdu::wireLength(2)), out.getLength());
}

TEST_F(CPDURoads, IncomingPduKeepsItsReceivedNumberAndEncodesBackTheSameBytes) {
  const char* wire =
      "00 00 00 1B 80 00 00 04 00 00 00 05 00 00 30 39 "
      "00 1F 90 FF FF FF FF 78 79 7A 00";
  CIPByteBuffer in = bufferFromHex(std::string(wire) + " 00 00");
  TestPdu pdu;
  EXPECT_EQ(1, pdu.setData(in));
  EXPECT_EQ("00 00", hexOf(in));  // the start of whatever follows stays
  EXPECT_EQ(27, pdu.getCommandLength());
  EXPECT_EQ(static_cast<int>(0x80000004u), pdu.getCommandId());
  EXPECT_EQ(5, pdu.getCommandStatus());
  EXPECT_EQ(0, pdu.flags);
  EXPECT_EQ(0x1F90, pdu.port);
  EXPECT_EQ(-1, pdu.amount);
  EXPECT_EQ("xyz", pdu.name);

  pdu.assignSequenceNumber();
  EXPECT_EQ(12345, pdu.getSequenceNumber());
  EXPECT_EQ(0, CPDU::sequenceNumber);
  CIPByteBuffer out;
  pdu.getData(out);
  EXPECT_EQ(hexOf(bufferFromHex(wire)), hexOf(out));
}

TEST_F(CPDURoads, TruncatedPduParsesWithFillValuesAndEmptiesTheBuffer) {
  CIPByteBuffer in = bufferFromHex("00 00 00 1B 00 00 00 04 00 00 00 00 00 00 00 07 42 12");
  TestPdu pdu;
  pdu.name = "stale";
  EXPECT_EQ(1, pdu.setData(in));
  EXPECT_EQ(0u, in.getLength());
  EXPECT_EQ(7, pdu.getSequenceNumber());
  EXPECT_EQ(0x42, pdu.flags);
  EXPECT_EQ(static_cast<short>(0xCDCD), pdu.port);
  EXPECT_EQ(kFill, pdu.amount);
  EXPECT_EQ("", pdu.name);
}

// ---- Draws on several threads ----

using CPDUThreads = PduTest;

// Each thread numbers `draws` new PDUs of its own; returns every number given.
std::vector<int> drawOnThreads(int threads, int draws) {
  std::vector<std::vector<int>> numbers(static_cast<size_t>(threads));
  std::vector<std::thread> workers;
  for (auto& mine : numbers) {
    workers.emplace_back([&mine, draws] {
      mine.reserve(static_cast<size_t>(draws));
      for (int i = 0; i < draws; ++i) {
        TestPdu pdu;
        pdu.assignSequenceNumber();
        mine.push_back(pdu.getSequenceNumber());
      }
    });
  }
  for (auto& worker : workers) worker.join();
  std::vector<int> all;
  for (const auto& mine : numbers) all.insert(all.end(), mine.begin(), mine.end());
  return all;
}

TEST_F(CPDUThreads, FourThreadsDrawingForTheirOwnPdusGetDistinctNumbers) {
  const RegistrySnapshot registry;
  std::vector<int> all = drawOnThreads(4, 100000);
  ASSERT_EQ(400000u, all.size());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all.end(), std::adjacent_find(all.begin(), all.end()));
  EXPECT_EQ(1, all.front());
  EXPECT_EQ(400000, all.back());
  EXPECT_EQ(400000, CPDU::sequenceNumber);
  EXPECT_EQ(0, registry.liveBlocks());
}

TEST_F(CPDUThreads, ConcurrentDrawsAcrossTheTopStayPositiveAndDistinct) {
  CPDU::sequenceNumber = INT_MAX - 2000;
  std::vector<int> all = drawOnThreads(4, 1000);
  std::unordered_set<int> seen(all.begin(), all.end());
  EXPECT_EQ(all.size(), seen.size());
  // The 2000 numbers below the top, then 1 to 2000.
  for (int n = 1; n <= 2000; ++n) {
    EXPECT_TRUE(seen.count(n) == 1 && seen.count(INT_MAX - 2000 + n) == 1) << n;
  }
  EXPECT_EQ(2000, CPDU::sequenceNumber);
}

}  // namespace

#include "orvelpdu/data/CIPByteDataList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/buffer/CheckedReads.h"
#include "support/FailingNew.h"
#include "support/Hex.h"
#include "support/RegistrySnapshot.h"
#include "support/TestList.h"

namespace {

using orvelpdu::test::ArmedOutcome;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;
using orvelpdu::test::newTestItem;
using orvelpdu::test::RegistrySnapshot;
using orvelpdu::test::runWithAllocationFailure;
using orvelpdu::test::TestItem;
using orvelpdu::test::TestList;

const int kByte = CIPByteDataList::BYTE_SIZE;
const int kShort = CIPByteDataList::SHORT_SIZE;
const int kInt = CIPByteDataList::INT_SIZE;

// Appends items numbered first, first + 1, ... (as shorts), each with an empty text.
void fill(CIPByteDataList& list, int n, int first = 0) {
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(1, list.addValue(newTestItem(static_cast<short>(first + i))));
  }
}

std::vector<int> numbers(CIPByteDataList& list) {
  std::vector<int> out;
  for (int i = 0; i < list.getCount(); ++i) {
    out.push_back(static_cast<TestItem*>(list.getValue(i))->number);
  }
  return out;
}

std::vector<CIPByteData*> pointers(CIPByteDataList& list) {
  std::vector<CIPByteData*> out;
  for (int i = 0; i < list.getCount(); ++i) out.push_back(list.getValue(i));
  return out;
}

std::string encoded(CIPByteDataList& list) {
  CIPByteBuffer buffer;
  EXPECT_EQ(1, list.getData(buffer));
  return hexOf(buffer);
}

// Records the numbers of the items that reach the virtual destroyValue, in order.
class RecordingList : public TestList {
 public:
  RecordingList() : TestList(100, kInt) {}
  void destroyValue(CIPByteData*& item) override {
    if (item != nullptr) seen.push_back(static_cast<TestItem*>(item)->number);
    TestList::destroyValue(item);
  }
  std::vector<int> seen;
};

// ---- Adding and reading items ----

TEST(CIPByteDataList, AddValueStopsAtTheMaximumAndLeavesRefusedItemsWithTheCaller) {
  RegistrySnapshot tally;
  {
    TestList list(3, kByte);
    fill(list, 3, 1);
    TestItem* refused = newTestItem(4);
    EXPECT_EQ(0, list.addValue(refused));
    EXPECT_EQ(3, list.getCount());
    EXPECT_NE(-1, _FindMemory(refused));  // untouched: still the caller's
    CIPByteData* mine = refused;
    list.destroyValue(mine);
    EXPECT_EQ(nullptr, mine);
    EXPECT_EQ(-1, _FindMemory(refused));
    EXPECT_EQ(std::vector<int>({1, 2, 3}), numbers(list));
  }
  EXPECT_TRUE(tally.balanced());
}

TEST(CIPByteDataList, ListsWithoutRoomRefuseEveryItemAndEncodeZero) {
  RegistrySnapshot tally;
  TestList byDefault;
  TestList negative(-1, kByte);
  CIPByteData* item = newTestItem(1);
  EXPECT_EQ(0, byDefault.addValue(item));
  EXPECT_EQ(0, negative.addValue(item));
  byDefault.destroyValue(item);
  EXPECT_TRUE(tally.balanced());
  EXPECT_EQ("00 00 00 00", encoded(byDefault));
  EXPECT_EQ("00", encoded(negative));
}

TEST(CIPByteDataList, GetValueAnswersNullOutsideTheHeldRange) {
  TestList list(5, kInt);
  EXPECT_EQ(nullptr, list.getValue(0));
  fill(list, 2);
  EXPECT_NE(nullptr, list.getValue(1));
  for (int index : {-1, 2, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
    EXPECT_EQ(nullptr, list.getValue(index));
  }
}

TEST(CIPByteDataList, DestroyValueIgnoresNullAndNullsThePointerItDisposedOf) {
  TestList list;
  const long dels = _CountDelMemory();
  CIPByteData* none = nullptr;
  list.destroyValue(none);
  EXPECT_EQ(dels, _CountDelMemory());

  RegistrySnapshot tally;
  CIPByteData* item = newTestItem(7);
  list.destroyValue(item);
  EXPECT_EQ(nullptr, item);
  EXPECT_EQ(1, tally.delCalls());
  EXPECT_TRUE(tally.balanced());
}

// A stored null would crash getData; the count edges are where a width check could slip.
TEST(CIPByteDataList, AddValueRefusesNullAtEveryCountEdge) {
  for (int n : {0, 255, 256, 65535, 65536}) {
    SCOPED_TRACE(n);
    TestList list(70000, kInt);
    fill(list, n);
    EXPECT_EQ(0, list.addValue(nullptr));
    EXPECT_EQ(n, list.getCount());
    CIPByteBuffer buffer;
    EXPECT_EQ(1, list.getData(buffer));
    EXPECT_EQ(4u + 3u * static_cast<unsigned>(n), buffer.getLength());
  }
}

// ---- Encoding ----

TEST(CIPByteDataList, EncodesTheCountInItsWidthThenTheItemsInOrder) {
  for (int width : {kByte, kShort, kInt, 3}) {
    SCOPED_TRACE(width);
    TestList list(2, width);
    ASSERT_EQ(1, list.addValue(newTestItem(0x0102, "ab")));
    ASSERT_EQ(1, list.addValue(newTestItem(0x0304, "")));
    const std::string items = "01 02 61 62 00 03 04 00";
    const std::string count = width == kByte    ? "02 "
                              : width == kShort ? "00 02 "
                              : width == kInt   ? "00 00 00 02 "
                                                : "";
    EXPECT_EQ(count + items, encoded(list));
  }
  TestList hundreds(300, kShort);
  fill(hundreds, 300);
  EXPECT_EQ("01 2C 00 00 00", encoded(hundreds).substr(0, 14));
}

TEST(CIPByteDataList, GetDataRefusesACountItsWidthCannotCarry) {
  struct Case {
    int width;
    int items;
    int result;
    std::string countHex;
  };
  for (const Case& c :
       {Case{kByte, 255, 1, "FF"}, Case{kByte, 256, 0, ""}, Case{kShort, 65535, 1, "FF FF"},
        Case{kShort, 65536, 0, ""}, Case{kInt, 65536, 1, "00 01 00 00"}}) {
    SCOPED_TRACE(c.items);
    TestList list(70000, c.width);
    fill(list, c.items);
    CIPByteBuffer buffer = bufferFromHex("AA");
    EXPECT_EQ(c.result, list.getData(buffer));
    const std::string hex = hexOf(buffer);
    if (c.result == 0) {
      EXPECT_EQ("AA", hex);  // nothing appended, what was there kept
    } else {
      EXPECT_EQ("AA " + c.countHex + " 00 00 00", hex.substr(0, 3 + c.countHex.size() + 9));
    }
  }
}

// ---- Parsing ----

TEST(CIPByteDataList, RoundTripsThroughEveryCountWidth) {
  for (int width : {kByte, kShort, kInt, 3}) {
    SCOPED_TRACE(width);
    TestList source(10, width);
    ASSERT_EQ(1, source.addValue(newTestItem(-2, "text")));
    fill(source, 2, 40);
    CIPByteBuffer buffer;
    ASSERT_EQ(1, source.getData(buffer));
    buffer.appendByte(0xEE);

    TestList parsed(10, width);
    EXPECT_EQ(1, parsed.setData(buffer));
    if (width == 3) {  // no count field: nothing is read, nothing kept
      EXPECT_EQ(0, parsed.getCount());
      EXPECT_EQ(0, parsed.factoryCalls);
      EXPECT_EQ("FF FE 74 65 78 74 00 00 28 00 00 29 00 EE", hexOf(buffer));
      continue;
    }
    EXPECT_EQ(std::vector<int>({-2, 40, 41}), numbers(parsed));
    EXPECT_EQ(CString("text"), static_cast<TestItem*>(parsed.getValue(0))->text);
    EXPECT_EQ("EE", hexOf(buffer));
  }
}

TEST(CIPByteDataList, FullListStillParsesEveryPositionAndDisposesOfTheSurplus) {
  RegistrySnapshot tally;
  {
    TestList list(3, kByte);
    CIPByteBuffer buffer = bufferFromHex("05 00 01 00 00 02 00 00 03 00 00 04 00 00 05 00 EE");
    EXPECT_EQ(1, list.setData(buffer));
    EXPECT_EQ(5, list.factoryCalls);
    EXPECT_EQ(std::vector<int>({1, 2, 3}), numbers(list));
    EXPECT_EQ(2, list.destroyCalls);
    EXPECT_EQ(2, tally.delCalls());
    EXPECT_EQ("EE", hexOf(buffer));
  }
  EXPECT_TRUE(tally.balanced());
}

TEST(CIPByteDataList, NullFactoryResultSkipsItsPositionWithoutReading) {
  TestList list(10, kByte);
  list.nullOnCall = 1;
  CIPByteBuffer buffer = bufferFromHex("03 00 01 00 00 02 00 00 03 00");
  EXPECT_EQ(1, list.setData(buffer));
  EXPECT_EQ(std::vector<int>({1, 2}), numbers(list));
  EXPECT_EQ("00 03 00", hexOf(buffer));
}

TEST(CIPByteDataList, ItemThatFailsToParseIsStillKept) {
  TestList list(10, kByte);
  CIPByteBuffer buffer = bufferFromHex("02 00 01 00 00");
  EXPECT_EQ(1, list.setData(buffer));
  // The second position finds one byte: its short reads as the fill, its text is missing.
  EXPECT_EQ(std::vector<int>({1, static_cast<short>(0xCDCD)}), numbers(list));
  EXPECT_EQ(1, buffer.isEmpty());
}

TEST(CIPByteDataList, ParsingFirstDisposesOfHeldItemsEvenFromAnEmptyBuffer) {
  RegistrySnapshot tally;
  TestList list(10, kInt);
  fill(list, 2);
  CIPByteBuffer empty;
  EXPECT_EQ(1, list.setData(empty));
  EXPECT_EQ(0, list.getCount());
  EXPECT_EQ(2, list.destroyCalls);
  EXPECT_TRUE(tally.balanced());
}

TEST(CIPByteDataList, MissingOrShortInputCreatesNoItemsWithEveryWidth) {
  // Empty buffers; count fields cut short, which read as the 0xCD fill (205 or 52685 items
  // for the unsigned widths); a count with nothing behind it.
  struct Case {
    int width;
    const char* hex;
  };
  for (const Case& c : {Case{kByte, ""}, Case{kShort, ""}, Case{kInt, ""}, Case{kShort, "01"},
                        Case{kInt, "00 00 01"}, Case{kByte, "01"}, Case{kShort, "00 03"}}) {
    SCOPED_TRACE(std::string(c.hex) + " width " + std::to_string(c.width));
    TestList list(70000, c.width);
    CIPByteBuffer buffer = bufferFromHex(c.hex);
    EXPECT_EQ(1, list.setData(buffer));
    EXPECT_EQ(0, list.getCount());
    EXPECT_EQ(0, list.factoryCalls);
    EXPECT_EQ(1, buffer.isEmpty());
  }
}

TEST(CIPByteDataList, CountBeyondTheInputStopsWhereTheBytesEnd) {
  struct Case {
    int width;
    std::string count;
  };
  for (const Case& c : {Case{kByte, "05"}, Case{kShort, "00 05"}, Case{kInt, "00 00 00 05"},
                        Case{kInt, "7F FF FF FF"}}) {
    SCOPED_TRACE(c.count);
    TestList list(10, c.width);
    CIPByteBuffer buffer = bufferFromHex(c.count + " 00 01 00 00 02 00");
    EXPECT_EQ(1, list.setData(buffer));
    EXPECT_EQ(std::vector<int>({1, 2}), numbers(list));
    EXPECT_EQ(2, list.factoryCalls);
  }
  // The count alone: two billion promised items, none made.
  TestList list(10, kInt);
  CIPByteBuffer countOnly = bufferFromHex("7F FF FF FF");
  EXPECT_EQ(1, list.setData(countOnly));
  EXPECT_EQ(0, list.factoryCalls);
}

// An item that refuses a buffer too short for its four bytes without taking any of them.
class FourByteItem : public CIPByteData {
 public:
  int setData(CIPByteBuffer& buffer) override {
    if (buffer.getLength() < 4) return 0;
    value = buffer.removeInt();
    return 1;
  }
  int getData(CIPByteBuffer& buffer) override {
    buffer.appendInt(value);
    return 1;
  }
  int value = 0;
};

// A list of FourByteItems whose factory may return null, on every call or on some.
class FourByteList : public CIPByteDataList {
 public:
  FourByteList(int maximum, int width) : CIPByteDataList(maximum, width) {}
  int factoryCalls = 0;
  bool nullOnEvenCalls = false;
  bool alwaysNull = false;

 protected:
  CIPByteData* createValue() override {
    const bool none = alwaysNull || (nullOnEvenCalls && factoryCalls % 2 == 0);
    ++factoryCalls;
    return none ? nullptr : new FourByteItem;
  }
};

TEST(CIPByteDataList, PositionsThatConsumeNothingCostNoMoreThanTheBytesHeld) {
  // Three bytes after a count of a million: items that refuse them, or no items at all, must
  // not make the count drive the work. At most as many positions may consume nothing as
  // bytes were held after the count.
  for (const bool alwaysNull : {false, true}) {
    SCOPED_TRACE(alwaysNull ? "null factory" : "items refusing a short buffer");
    FourByteList list(10, kInt);
    list.alwaysNull = alwaysNull;
    CIPByteBuffer buffer = bufferFromHex("00 0F 42 40 AA BB CC");
    EXPECT_EQ(1, list.setData(buffer));
    EXPECT_LE(list.factoryCalls, 4);
    EXPECT_EQ("AA BB CC", hexOf(buffer));
    // The refused items are kept, as any item whose parse failed.
    EXPECT_EQ(alwaysNull ? 0 : list.factoryCalls, list.getCount());
  }
  // The largest int count in seven bytes, and in the count alone.
  FourByteList most(0, kInt);
  CIPByteBuffer seven = bufferFromHex("7F FF FF FF 01 02 03");
  EXPECT_EQ(1, most.setData(seven));
  EXPECT_LE(most.factoryCalls, 4);
}

TEST(CIPByteDataList, ItemsThatConsumeBytesStillParsePastPositionsThatConsumeNothing) {
  // Every other factory call gives null: each skipped position consumes nothing, yet the
  // items between them still take all their bytes.
  FourByteList list(10, kByte);
  list.nullOnEvenCalls = true;
  CIPByteBuffer buffer = bufferFromHex("06 00 00 00 01 00 00 00 02 00 00 00 03 EE");
  EXPECT_EQ(1, list.setData(buffer));
  ASSERT_EQ(3, list.getCount());
  EXPECT_EQ(3, static_cast<FourByteItem*>(list.getValue(2))->value);
  EXPECT_EQ(6, list.factoryCalls);
  EXPECT_EQ("EE", hexOf(buffer));
}

// Items shaped as receivers write them, each reading a NUL-ended text with takeCString,
// which scans every held byte before refusing a text with no NUL. The plain shape refuses
// without taking anything; the recipient shape takes a type byte first and then refuses.
// `scanned` adds up the bytes held at each text read: what takeCString may examine.
struct ScanTally {
  long factoryCalls = 0;
  long long scanned = 0;
};

class TextItem : public CIPByteData {
 public:
  TextItem(bool typeByte, ScanTally& tally) : typeByte_(typeByte), tally_(tally) {}
  int setData(CIPByteBuffer& buffer) override {
    if (typeByte_ && !orvelpdu::takeByte(buffer, type_)) return 0;
    tally_.scanned += buffer.getLength();
    return orvelpdu::takeCString(buffer, text_) ? 1 : 0;
  }
  int getData(CIPByteBuffer& buffer) override {
    if (typeByte_) buffer.appendByte(type_);
    buffer.appendString0(const_cast<char*>(static_cast<const char*>(text_)), text_.GetLength());
    buffer.appendByte(0);
    return 1;
  }

 private:
  bool typeByte_;
  ScanTally& tally_;
  unsigned char type_ = 0;
  CString text_;
};

class TextList : public CIPByteDataList {
 public:
  TextList(bool typeByte, ScanTally& tally, int width = kInt)
      : CIPByteDataList(10, width), typeByte_(typeByte), tally_(tally) {}

 protected:
  CIPByteData* createValue() override {
    ++tally_.factoryCalls;
    return new TextItem(typeByte_, tally_);
  }

 private:
  bool typeByte_;
  ScanTally& tally_;
};

// An item with an empty wire form: it takes nothing and reports success.
class EmptyItem : public CIPByteData {
 public:
  int setData(CIPByteBuffer&) override { return 1; }
  int getData(CIPByteBuffer&) override { return 1; }
};

class EmptyItemList : public CIPByteDataList {
 public:
  EmptyItemList() : CIPByteDataList(1000, kShort) {}
  int factoryCalls = 0;

 protected:
  CIPByteData* createValue() override {
    ++factoryCalls;
    return new EmptyItem;
  }
};

TEST(CIPByteDataList, AnItemThatRefusesEndsTheParseSoTextScansStayLinear) {
  // The largest int count, then a text with no NUL: every position after the first would
  // scan the held bytes again, so the parse would cost their square.
  for (const bool typeByte : {false, true}) {
    for (const unsigned size : {64u << 10, 256u << 10, 1u << 20}) {
      SCOPED_TRACE(std::string(typeByte ? "recipient shape, " : "text alone, ") +
                   std::to_string(size) + " bytes");
      CIPByteBuffer buffer;
      buffer.appendInt(0x7FFFFFFF);
      std::string text(size, 'a');
      buffer.appendString0(text.data(), static_cast<int>(size));
      ScanTally tally;
      TextList list(typeByte, tally);
      EXPECT_EQ(1, list.setData(buffer));
      ASSERT_EQ(1, tally.factoryCalls);
      const unsigned left = typeByte ? size - 1 : size;
      ASSERT_EQ(static_cast<long long>(left), tally.scanned);
      EXPECT_EQ(left, buffer.getLength());
      EXPECT_EQ(1, list.getCount());  // offered to the list, as any item whose parse failed
    }
  }
}

TEST(CIPByteDataList, ParsingStopsAfterAFailedItemOrOneThatTookNothing) {
  // Two whole recipients, then one whose text has no NUL: the parse keeps the three, the
  // failed one last, and leaves the rest for the caller rather than reading each of its
  // bytes as the type of yet another recipient cut short.
  ScanTally scans;
  TextList list(true, scans, kByte);
  CIPByteBuffer buffer = bufferFromHex("05 01 61 00 02 62 62 00 03 63 63 63");
  EXPECT_EQ(1, list.setData(buffer));
  EXPECT_EQ(3, scans.factoryCalls);
  EXPECT_EQ(3, list.getCount());
  EXPECT_EQ("63 63 63", hexOf(buffer));
  CIPByteBuffer encodedBack;
  ASSERT_EQ(1, list.getData(encodedBack));
  EXPECT_EQ("03 01 61 00 02 62 62 00 03 00", hexOf(encodedBack));

  // Items that take nothing and succeed: the next position would see the same bytes.
  EmptyItemList empties;
  CIPByteBuffer three = bufferFromHex("03 E8 AA BB CC");
  EXPECT_EQ(1, empties.setData(three));
  EXPECT_EQ(1, empties.factoryCalls);
  EXPECT_EQ(1, empties.getCount());
  EXPECT_EQ("AA BB CC", hexOf(three));
}

TEST(CIPByteDataList, NegativeAndZeroIntCountsMeanNoItems) {
  for (const char* count : {"FF FF FF FF", "00 00 00 00", "CD CD CD CD"}) {
    SCOPED_TRACE(count);
    TestList list(10, kInt);
    CIPByteBuffer buffer = bufferFromHex(std::string(count) + " 00 01 00");
    EXPECT_EQ(1, list.setData(buffer));
    EXPECT_EQ(0, list.getCount());
    EXPECT_EQ(0, list.factoryCalls);
    EXPECT_EQ("00 01 00", hexOf(buffer));
  }
}

// The all-ones unsigned counts are the largest lists each width carries.
TEST(CIPByteDataList, FullestByteAndShortListsRoundTrip) {
  struct Case {
    int width;
    int n;
    std::string countHex;
  };
  for (const Case& c : {Case{kByte, 255, "FF"}, Case{kShort, 65535, "FF FF"}}) {
    SCOPED_TRACE(c.n);
    RegistrySnapshot tally;
    {
      TestList source(c.n, c.width);
      fill(source, c.n, -100);
      CIPByteBuffer buffer;
      ASSERT_EQ(1, source.getData(buffer));
      const std::string wire = hexOf(buffer);
      EXPECT_EQ(c.countHex, wire.substr(0, c.countHex.size()));

      TestList parsed(c.n, c.width);
      EXPECT_EQ(1, parsed.setData(buffer));
      EXPECT_EQ(1, buffer.isEmpty());
      EXPECT_EQ(numbers(source), numbers(parsed));
      EXPECT_EQ(wire, encoded(parsed));
    }
    EXPECT_TRUE(tally.balanced());
  }
}

// ---- Shared ownership ----

TEST(CIPByteDataList, CopiesShareTheItemsAndTakeMaximumAndWidth) {
  TestList source(3, kShort);
  fill(source, 2);
  TestList copy(source);
  EXPECT_EQ(pointers(source), pointers(copy));
  EXPECT_EQ(encoded(source), encoded(copy));
  fill(copy, 1, 9);
  CIPByteData* extra = newTestItem(10);
  EXPECT_EQ(0, copy.addValue(extra));  // full at the copied maximum
  copy.destroyValue(extra);
  EXPECT_EQ(2, source.getCount());

  TestList assigned(50, kByte);
  assigned = source;
  EXPECT_EQ(pointers(source), pointers(assigned));
  EXPECT_EQ("00 02 00 00 00 00 01 00", encoded(assigned));
}

TEST(CIPByteDataList, EveryItemIsDisposedOfOnceWhateverOrderTheHoldersGoIn) {
  std::array<int, 3> order = {0, 1, 2};
  do {
    SCOPED_TRACE(std::to_string(order[0]) + std::to_string(order[1]) + std::to_string(order[2]));
    RegistrySnapshot tally;
    std::array<std::unique_ptr<TestList>, 3> lists;
    lists[0] = std::make_unique<TestList>(10, kInt);
    fill(*lists[0], 4);
    lists[1] = std::make_unique<TestList>(*lists[0]);
    lists[2] = std::make_unique<TestList>();
    *lists[2] = *lists[1];
    for (int i = 0; i < 2; ++i) {
      lists[static_cast<size_t>(order[static_cast<size_t>(i)])].reset();
      EXPECT_EQ(0, tally.delCalls());
    }
    lists[static_cast<size_t>(order[2])].reset();
    EXPECT_EQ(4, tally.delCalls());
    EXPECT_TRUE(tally.balanced());
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(CIPByteDataList, AssignmentDisposesOfReplacedItemsNoOtherListHolds) {
  RegistrySnapshot tally;
  {
    TestList target(10, kInt);
    fill(target, 2, 1);
    TestList keeper(target);  // still holds the first two items
    TestList source(10, kInt);
    fill(source, 1, 3);

    target = source;
    EXPECT_EQ(0, tally.delCalls());
    EXPECT_EQ(pointers(source), pointers(target));

    TestList other(10, kInt);
    fill(other, 2, 4);
    RecordingList recorder;
    fill(recorder, 2, 6);
    static_cast<TestList&>(recorder) = other;
    EXPECT_EQ(std::vector<int>({6, 7}), recorder.seen);  // through the override, in order
    EXPECT_EQ(2, tally.delCalls());
    EXPECT_EQ(std::vector<int>({1, 2}), numbers(keeper));
  }
  EXPECT_EQ(7, tally.delCalls());
  EXPECT_TRUE(tally.balanced());
}

TEST(CIPByteDataList, AssignmentBetweenSharersAndSelfAssignmentDisposeOfNothing) {
  RegistrySnapshot tally;
  TestList list(10, kByte);
  fill(list, 3);
  const auto before = pointers(list);
  TestList copy(list);
  list = copy;
  copy = list;
  TestList& alias = list;
  list = alias;
  EXPECT_EQ(before, pointers(list));
  EXPECT_EQ(before, pointers(copy));
  EXPECT_EQ(0, tally.delCalls());
  EXPECT_EQ(0, list.destroyCalls + copy.destroyCalls);
  EXPECT_EQ("03 00 00 00 00 01 00 00 02 00", encoded(list));
}

TEST(CIPByteDataList, ResetAndParseLetGoOfSharedItemsWithoutDisposingOfThem) {
  RegistrySnapshot tally;
  RecordingList list;
  fill(list, 3, 1);
  {
    TestList copy(list);
    CIPByteBuffer buffer = bufferFromHex("00 00 00 01 00 09 00");
    list.setData(buffer);  // into a list holding shared items
    EXPECT_TRUE(list.seen.empty());
    EXPECT_EQ(std::vector<int>({9}), numbers(list));
    EXPECT_EQ(std::vector<int>({1, 2, 3}), numbers(copy));
    copy.resetValues();
    EXPECT_EQ(3, copy.destroyCalls);
    EXPECT_EQ(3, tally.delCalls());
  }
  fill(list, 2, 10);
  list.resetValues();
  EXPECT_EQ(std::vector<int>({9, 10, 11}), list.seen);  // first to last, through the override
  list.resetValues();
  EXPECT_EQ(3u, list.seen.size());
  EXPECT_TRUE(tally.balanced());
}

// ---- Allocation failure ----

TEST(CIPByteDataList, AddValueThatCannotAllocateLeavesListAndItemUnchanged) {
  long total = 0;
  for (int n : {0, 1, 2, 3, 4, 8, 9}) {
    SCOPED_TRACE(n);
    RegistrySnapshot tally;
    const long fired = orvelpdu::test::forEachAllocationFailure([&](long k) {
      TestList list(100, kInt);
      fill(list, n);
      const auto before = pointers(list);
      CIPByteData* item = newTestItem(99);
      const ArmedOutcome run =
          runWithAllocationFailure(k, [&] { EXPECT_EQ(1, list.addValue(item)); });
      if (run.caught) {
        EXPECT_EQ(before, pointers(list));
        EXPECT_NE(-1, _FindMemory(item));
        list.destroyValue(item);  // still the caller's to dispose of
      }
      return run.fired;
    });
    // Only a list whose storage is full allocates to take one more item.
    total += fired;
    EXPECT_TRUE(tally.balanced());
  }
  EXPECT_GE(total, 5);
}

TEST(CIPByteDataList, ParsingThatThrowsDisposesOfThePendingItemAndKeepsTheAcceptedOnes) {
  // Texts past the small-string size, so that each item's own setData allocates too.
  TestList source(10, kInt);
  ASSERT_EQ(1, source.addValue(newTestItem(1, "the first text, long enough to allocate")));
  ASSERT_EQ(1, source.addValue(newTestItem(2, "the second text, long enough to allocate")));
  ASSERT_EQ(1, source.addValue(newTestItem(3, "the third text, long enough to allocate")));
  CIPByteBuffer wire;
  ASSERT_EQ(1, source.getData(wire));

  RegistrySnapshot tally;
  long threwMidway = 0;
  const long fired = orvelpdu::test::forEachAllocationFailure([&](long k) {
    TestList list(10, kInt);
    fill(list, 1, 50);
    CIPByteBuffer buffer(wire);
    const ArmedOutcome run = runWithAllocationFailure(k, [&] { list.setData(buffer); });
    if (!run.fired) return false;
    EXPECT_TRUE(run.caught);
    const int kept = list.getCount();
    EXPECT_LE(kept, 3);
    for (int i = 0; i < kept; ++i) {
      auto* item = static_cast<TestItem*>(list.getValue(i));
      EXPECT_EQ(i + 1, item->number);
      EXPECT_EQ(static_cast<TestItem*>(source.getValue(i))->text, item->text);
    }
    // Only the accepted items live: the pending one and the old one are gone.
    EXPECT_EQ(kept, tally.liveItems());
    if (kept > 0 && kept < 3) ++threwMidway;
    return true;
  });
  EXPECT_GT(fired, 6);
  EXPECT_GT(threwMidway, 0);
  EXPECT_TRUE(tally.balanced());
}

TEST(CIPByteDataList, CopyOrAssignmentThatCannotAllocateChangesNothing) {
  RegistrySnapshot tally;
  const long fired = orvelpdu::test::forEachAllocationFailure([&](long k) {
    TestList source(10, kInt);
    fill(source, 3, 1);
    TestList target(10, kByte);
    fill(target, 2, 7);
    const ArmedOutcome run = runWithAllocationFailure(k, [&] {
      TestList copy(source);
      target = source;
    });
    if (run.caught) {
      EXPECT_EQ(std::vector<int>({7, 8}), numbers(target));
      EXPECT_EQ("02 00 07 00 00 08 00", encoded(target));  // its width kept too
      EXPECT_EQ(std::vector<int>({1, 2, 3}), numbers(source));
    }
    return run.fired;
  });
  // The copy's storage and a count for each of the three items it is the first to share,
  // then the assignment's storage (those items are counted already).
  EXPECT_EQ(5, fired);
  // Had a failed copy kept a hold, its items would never be disposed of.
  EXPECT_TRUE(tally.balanced());
}

}  // namespace

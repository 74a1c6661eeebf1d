// The strict list parse for hand-written lists: counts, item results and consumption checked,
// `in` untouched on failure, items owned and released exactly once either way.
#include "orvelpdu/data/CheckedList.h"

#include <gtest/gtest.h>

#include "support/FailurePass.h"
#include "support/Hex.h"
#include "support/Ledger.h"
#include "support/TestList.h"

namespace {

using orvelpdu::Outcome;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;

// Items that read a short, a short and a NUL-ended memo of at most 16 characters.
class Lines : public orvelpdu::CheckedList {
 public:
  Lines() : CheckedList(3, SHORT_SIZE) {}

 protected:
  CIPByteData* createValue() override { return new ledger::Line; }
};

// An item that answers success and reads nothing, as a careless hand-written item might.
class Idle : public CIPByteData {
 public:
  int setData(CIPByteBuffer&) override { return 1; }
  int getData(CIPByteBuffer&) override { return 1; }
};

class Idles : public orvelpdu::CheckedList {
 public:
  Idles() : CheckedList(1000000, INT_SIZE) {}
  int made = 0;

 protected:
  CIPByteData* createValue() override {
    ++made;
    return new Idle;
  }
};

// Items that register themselves, so that the registry shows every disposal.
class TestItems : public orvelpdu::CheckedList {
 public:
  TestItems() : CheckedList(10, SHORT_SIZE) {}

 protected:
  CIPByteData* createValue() override { return orvelpdu::test::newTestItem(0); }
};

TEST(CheckedList, TakesExactlyTheCountedItemsAndLeavesWhatFollows) {
  Lines lines;
  CIPByteBuffer in = bufferFromHex("0002 0001 0002 6100 FFFF 0003 00 EE");
  ASSERT_TRUE(lines.parseChecked(in).ok());
  EXPECT_EQ(2, lines.getCount());
  EXPECT_EQ("EE", hexOf(in));
  EXPECT_EQ("a", static_cast<ledger::Line*>(lines.getValue(0))->memo);
}

TEST(CheckedList, RefusalsNameTheCountOrTheItemAndRemoveNothing) {
  struct Case {
    const char* hex;
    Outcome outcome;
    const char* field;
  } cases[] = {
      {"00", Outcome::kCutShort, "count"},
      {"0004 0001 0002 00", Outcome::kOverLimit, "count"},
      {"0002 0001 0002 6100 FFFF", Outcome::kItemRefused, "[1]"},  // cut short inside item 1
      {"0001 0001 0002 6161616161616161616161616161616161 00", Outcome::kItemRefused, "[0]"},
  };
  for (const Case& c : cases) {
    Lines lines;
    CIPByteBuffer in = bufferFromHex(c.hex);
    const std::string before = hexOf(in);
    const orvelpdu::Result result = lines.parseChecked(in);
    EXPECT_EQ(c.outcome, result.outcome()) << c.hex;
    EXPECT_EQ(c.field, result.field()) << c.hex;
    EXPECT_EQ(before, hexOf(in)) << c.hex;
  }
}

// A count of a million over four bytes: the first item that takes nothing ends the parse, so
// the work is one item, not a million.
TEST(CheckedList, AnItemThatConsumesNothingEndsTheParseAtOnce) {
  Idles idles;
  CIPByteBuffer in = bufferFromHex("000F4240 AA");
  const orvelpdu::Result result = idles.parseChecked(in);
  EXPECT_EQ(Outcome::kNothingConsumed, result.outcome());
  EXPECT_EQ("[0]", result.field());
  EXPECT_EQ(1, idles.made);
  EXPECT_EQ(0, idles.getCount());
}

// The item storage, each item and the registry's own growth may fail: whichever does, the
// caller gets std::bad_alloc, `in` is whole, and every item made is disposed of exactly once.
TEST(CheckedList, AFailedAllocationAnywhereLeavesTheInputWholeAndNoItemBehind) {
  static const char* const kWire = "0003 0001 6100 0002 6200 0003 6300 EE";
  struct State {
    TestItems list;
    CIPByteBuffer in = bufferFromHex(kWire);
  };
  const std::string whole = hexOf(bufferFromHex(kWire));
  const long failures = orvelpdu::test::runFailurePass<State>(
      "parseChecked", [](State& s) { (void)s.list.parseChecked(s.in); },
      [&](State& s) { EXPECT_EQ(whole, hexOf(s.in)); });
  EXPECT_GE(failures, 4) << "the storage and three items each allocate";
}

}  // namespace

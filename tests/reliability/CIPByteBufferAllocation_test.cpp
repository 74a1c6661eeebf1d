// Allocation failure changes nothing: each changing operation is run with the k-th allocation
// failing, for k = 1, 2, ... until it completes, and after each failure the buffer, the
// destination it writes to and the string it fills must be exactly as before the call, with
// std::bad_alloc having reached the caller. Leaks on the failure paths are caught by
// LeakSanitizer in the sanitizer build.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "support/FailurePass.h"
#include "support/Hex.h"
#include "support/Text.h"

namespace {

using orvelpdu::test::ArmedOutcome;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::failEachAllocation;
using orvelpdu::test::hexOf;
using orvelpdu::test::runWithAllocationFailure;

// What an operation may touch: the buffer, a destination buffer, a string, and a second
// source buffer.
struct State {
  CIPByteBuffer buffer;
  CIPByteBuffer dst;
  CIPByteBuffer other;
  CString text;
};

// The shapes a buffer is in when an operation needs new storage.
enum class Shape {
  kFull,      // a block exactly as large as the bytes: any growth needs a new block
  kPrefix,    // bytes removed from the front of a full block
  kEmpty,     // no block at all
  kNulField,  // a C-string field too long for a string's inline storage, a NUL, one more byte
};

// A copy holds a block exactly as large as its bytes.
void fill(CIPByteBuffer& b, const std::string& hex) {
  CIPByteBuffer source = bufferFromHex(hex);
  b = source;
}

std::unique_ptr<State> makeState(Shape shape) {
  auto s = std::make_unique<State>();
  switch (shape) {
    case Shape::kFull:
      fill(s->buffer, "01 02 03 04 05 06");
      break;
    case Shape::kPrefix:
      fill(s->buffer, "01 02 03 04 05 06 07");
      s->buffer.removeBytes0(3);
      break;
    case Shape::kEmpty:
      break;
    case Shape::kNulField:
      fill(s->buffer, "61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 70 71 72 73 74 00 7A");
      break;
  }
  fill(s->dst, "AA BB");
  fill(s->other, "C1 C2 C3");
  // Four characters with a NUL inside: appendCString(CString&) recounts it to one.
  std::memcpy(s->text.GetBuffer(4), "a\0bc", 4);
  s->text.ReleaseBuffer(4);
  return s;
}

struct Snapshot {
  std::string buffer;
  const unsigned char* bufferBlock;
  std::string dst;
  const unsigned char* dstBlock;
  std::string other;
  std::string text;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snap(const State& s) {
  return {hexOf(s.buffer),   s.buffer.getBuffer(), hexOf(s.dst),
          s.dst.getBuffer(), hexOf(s.other),       orvelpdu::test::textOf(s.text)};
}

void PrintTo(const Snapshot& s, std::ostream* os) {
  *os << "{buffer [" << s.buffer << "] dst [" << s.dst << "] other [" << s.other << "] text \""
      << s.text << "\"}";
}

using Operation = std::function<void(State&)>;

// Runs `op` on a fresh state of `shape` with the k-th allocation failing, for every k until it
// completes. Returns how many attempts failed.
long failEveryAllocation(const char* name, Shape shape, const Operation& op) {
  std::unique_ptr<State> reference = makeState(shape);
  op(*reference);
  const Snapshot done = snap(*reference);

  Snapshot before{};
  auto make = [&] {
    std::unique_ptr<State> state = makeState(shape);
    before = snap(*state);
    return state;
  };
  return failEachAllocation(make, op, [&](State& state, const ArmedOutcome& run, long k) {
    Snapshot after = snap(state);
    if (run.fired) {
      EXPECT_TRUE(run.caught) << name << ": the failure of allocation " << k << " was swallowed";
      EXPECT_TRUE(run.exactType) << name << ": allocation " << k;
      if (after.bufferBlock != before.bufferBlock) {
        ADD_FAILURE() << name << ": the block was replaced although allocation " << k << " failed";
      }
      if (after.dstBlock != before.dstBlock) {
        ADD_FAILURE() << name << ": the destination block was replaced although allocation " << k
                      << " failed";
      }
      // Compare contents with the pointers taken out, so that a failure shows the bytes.
      after.bufferBlock = before.bufferBlock;
      after.dstBlock = before.dstBlock;
      EXPECT_EQ(before, after) << name << ": allocation " << k << " failed";
    } else {
      EXPECT_FALSE(run.caught) << name;
      after.bufferBlock = done.bufferBlock;
      after.dstBlock = done.dstBlock;
      EXPECT_EQ(done, after) << name << ": completed after " << k - 1 << " failures";
    }
  });
}

struct Case {
  const char* name;
  Operation op;
};

void checkCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    long failures = 0;
    for (Shape shape : {Shape::kFull, Shape::kPrefix, Shape::kEmpty, Shape::kNulField}) {
      failures += failEveryAllocation(c.name, shape, c.op);
    }
    // An operation that never allocated would make the check above vacuous.
    EXPECT_GT(failures, 0) << c.name << " never needed an allocation";
  }
}

unsigned char kBytes[] = {0xE1, 0xE2, 0xE3, 0xE4, 0xE5};
char kText[] = "xyz";

TEST(CIPByteBufferAllocation, FailedAppendLeavesBufferUnchanged) {
  checkCases({
      {"appendBytes0(src, count)", [](State& s) { s.buffer.appendBytes0(kBytes, 5); }},
      {"appendBytes0(count)", [](State& s) { s.buffer.appendBytes0(4); }},
      {"appendBytes(src, count)", [](State& s) { s.buffer.appendBytes(kBytes, 3); }},
      {"appendBytes(null, count)",
       [](State& s) { s.buffer.appendBytes(static_cast<unsigned char*>(nullptr), 3); }},
      {"appendBytes(buffer, count)", [](State& s) { s.buffer.appendBytes(&s.other, 2); }},
      {"appendBuffer", [](State& s) { s.buffer.appendBuffer(&s.other); }},
      {"appendBuffer(this)", [](State& s) { s.buffer.appendBuffer(&s.buffer); }},
      {"appendBytes(this, count)", [](State& s) { s.buffer.appendBytes(&s.buffer, 1); }},
      {"appendByte", [](State& s) { s.buffer.appendByte(0x7E); }},
      {"appendShort", [](State& s) { s.buffer.appendShort(0x1234); }},
      {"appendInt", [](State& s) { s.buffer.appendInt(0x01020304); }},
      {"appendString0", [](State& s) { s.buffer.appendString0(kText, 3); }},
      {"appendString", [](State& s) { s.buffer.appendString(kText, 2); }},
      {"appendCString(char*)", [](State& s) { s.buffer.appendCString(kText); }},
      {"appendCString(CString&)", [](State& s) { s.buffer.appendCString(s.text); }},
  });
}

TEST(CIPByteBufferAllocation, FailedResizeLeavesBufferUnchanged) {
  checkCases({
      {"resize(grow)",
       [](State& s) { s.buffer.resize(static_cast<int>(s.buffer.getLength()) + 9); }},
      {"resize(100)", [](State& s) { s.buffer.resize(100); }},
  });
}

TEST(CIPByteBufferAllocation, FailedCopyIntoDestinationLeavesBothUnchanged) {
  checkCases({
      {"readBytes", [](State& s) { s.buffer.readBytes(3, s.dst); }},
      {"removeBytes", [](State& s) { s.buffer.removeBytes(3, s.dst); }},
      {"removeBuffer", [](State& s) { s.buffer.removeBuffer(10, s.dst); }},
      {"operator=", [](State& s) { s.dst = s.buffer; }},
      {"operator= onto a buffer with bytes", [](State& s) { s.buffer = s.other; }},
      {"copy constructor", [](State& s) { CIPByteBuffer copy(s.buffer); }},
  });
}

TEST(CIPByteBufferAllocation, FailedStringTransferLeavesStringAndBufferUnchanged) {
  checkCases({
      {"removeCString(CString&)", [](State& s) { s.buffer.removeCString(s.text); }},
      {"getHexDump", [](State& s) { s.buffer.getHexDump(s.text); }},
  });
}

TEST(CIPByteBufferAllocation, FailedStreamOperatorLeavesBufferUnchanged) {
  checkCases({
      {"operator<<(int)", [](State& s) { s.buffer << 7; }},
      {"operator<<(unsigned long)", [](State& s) { s.buffer << 7UL; }},
      {"operator<<(short)",
       [](State& s) {
         const short v = 7;
         s.buffer << v;
       }},
      {"operator<<(char)", [](State& s) { s.buffer << 'q'; }},
      {"operator<<(char const*)", [](State& s) { s.buffer << "text"; }},
  });
}

TEST(CIPByteBufferAllocation, CopyConstructorFailurePassesThroughAndLeavesSourceAlone) {
  CIPByteBuffer source = bufferFromHex("01 02 03");
  const unsigned char* block = source.getBuffer();
  const ArmedOutcome run = runWithAllocationFailure(1, [&] { CIPByteBuffer copy(source); });
  EXPECT_TRUE(run.fired);
  EXPECT_TRUE(run.caught);
  EXPECT_EQ(block, source.getBuffer());
  EXPECT_EQ("01 02 03", hexOf(source));
}

}  // namespace

// The buffer CTLV::setData hands a value parser shows the value bytes where they lie in the
// input. Whatever the parser does with it, the result must be what the same operation gives on
// a buffer that owns a copy of those bytes, and the input must neither lose nor change a byte
// it still holds (nor have memory released that it owns: AddressSanitizer checks that).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/tlv/CTLV.h"
#include "support/Hex.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::bytesFromHex;
using orvelpdu::test::hexOf;

// An operation on a buffer that holds the value "41 42 43 00 45 46", returning a trace of
// what it saw (results and contents along the way).
using Operation = std::function<std::string(CIPByteBuffer&)>;

const char kValue[] = "41 42 43 00 45 46";
// The frame (tag 0x0009, length 6, the value), then bytes that follow it. More follow than
// the frame takes, so that the input keeps its block, unmoved, after the frame is removed.
const char kFrame[] = "00 09 00 06 41 42 43 00 45 46";
const char kAfter[] = "E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB";

std::string shown(const CIPByteBuffer& b) {
  return "[" + hexOf(b) + (b.getBuffer() == nullptr ? "|none]" : "]");
}

// A first-byte pointer read through the const overload, which copies nothing.
unsigned char* firstByte(const CIPByteBuffer& b) {
  return const_cast<unsigned char*>(b.getBuffer());
}

class OperationTLV : public CTLV {
 public:
  explicit OperationTLV(Operation op) : op_(std::move(op)) {}
  int setValueData(CIPByteBuffer& buffer) override {
    trace_ = op_(buffer);
    markValueSet();
    return 1;
  }
  int getValueData(CIPByteBuffer& /*buffer*/) override { return 1; }

  std::string trace_;

 private:
  Operation op_;
};

struct Case {
  const char* name;
  Operation op;
};

std::vector<Case> everyOperation() {
  return {
      {"setBuffer(getBuffer()) keeps the bytes for setLength",
       [](CIPByteBuffer& b) {
         b.setBuffer(b.getBuffer());
         std::string t = shown(b);
         b.setLength(6);
         return t + shown(b);
       }},
      {"setBuffer with the first byte read through const",
       [](CIPByteBuffer& b) {
         b.setBuffer(firstByte(b));
         std::string t = shown(b);
         b.setLength(4);
         return t + shown(b);
       }},
      {"setBuffer rewinds to a byte already removed",
       [](CIPByteBuffer& b) {
         unsigned char* start = firstByte(b);
         std::string t = std::to_string(b.removeShort()) + shown(b);
         b.setBuffer(start);
         b.setLength(100);
         return t + shown(b);
       }},
      {"setBuffer to an interior byte and to the end",
       [](CIPByteBuffer& b) {
         b.setBuffer(firstByte(b) + 3);
         b.setLength(10);
         std::string t = shown(b);
         // A pointer from getBuffer() lasts until the next change, so it is read anew.
         b.setBuffer(firstByte(b) + 3);
         b.setLength(3);
         t += shown(b);
         b.appendByte(0x99);
         return t + shown(b);
       }},
      {"setBuffer(nullptr)",
       [](CIPByteBuffer& b) {
         b.setBuffer(nullptr);
         std::string t = shown(b);
         b.setLength(3);
         return t + shown(b);
       }},
      {"setBuffer with a new block",
       [](CIPByteBuffer& b) {
         auto* fresh = static_cast<unsigned char*>(::operator new(4));
         std::memset(fresh, 0xAA, 4);
         b.setBuffer(fresh);
         b.setLength(4);
         std::string t = shown(b);
         b.appendByte(0xBB);
         return t + shown(b);
       }},
      {"setLength shortens, then exposes the bytes again, clamped",
       [](CIPByteBuffer& b) {
         b.setLength(2);
         std::string t = shown(b);
         b.setLength(6);
         t += shown(b);
         b.setLength(0);
         t += shown(b);
         b.setLength(100);
         return t + shown(b);
       }},
      {"empty",
       [](CIPByteBuffer& b) {
         b.empty();
         return shown(b) + std::to_string(b.isEmpty());
       }},
      {"resize down and up",
       [](CIPByteBuffer& b) {
         b.resize(3);
         std::string t = shown(b);
         b.resize(8);
         t += shown(b);
         b.resize(0);
         return t + shown(b);
       }},
      {"appends of every kind",
       [](CIPByteBuffer& b) {
         b.appendByte(0x77);
         b.appendShort(0x1234);
         b.appendInt(0x01020304);
         std::string t = shown(b);
         b.appendBytes0(firstByte(b) + 1, 3);
         b.appendBuffer(&b);
         t += shown(b);
         b.appendCString(const_cast<char*>("hi"));
         CString s("yo");
         b.appendCString(s);
         b.appendBytes(static_cast<unsigned char*>(nullptr), 2);
         return t + shown(b);
       }},
      {"appending its own lent bytes before any room exists",
       [](CIPByteBuffer& b) {
         b.appendBytes(&b, 4);
         return shown(b);
       }},
      {"dropping from the end, then exposing again",
       [](CIPByteBuffer& b) {
         b.appendBytes0(-2);
         std::string t = shown(b);
         b.setLength(6);
         t += shown(b);
         b.appendBytes0(-6);
         return t + shown(b);
       }},
      {"fixed-width removes and reads",
       [](CIPByteBuffer& b) {
         std::string t = std::to_string(b.readInt()) + "/" + std::to_string(b.removeByte());
         t += "/" + std::to_string(b.removeShort()) + shown(b);
         t += std::to_string(b.removeInt()) + shown(b);
         return t + std::to_string(b.removeInt()) + shown(b);
       }},
      {"removes into other buffers",
       [](CIPByteBuffer& b) {
         CIPByteBuffer part;
         b.removeBytes(2, part);
         std::string t = shown(part) + shown(b);
         CIPByteBuffer rest = bufferFromHex("FF");
         b.removeBuffer(100, rest);
         t += shown(rest) + shown(b);
         rest.appendByte(0x01);
         return t + shown(rest);
       }},
      {"removes into texts and arrays",
       [](CIPByteBuffer& b) {
         char out[8] = {};
         b.removeString(out, 1);
         std::string t = std::string(out) + shown(b);
         CString text;
         t += std::to_string(b.removeCString(text)) + static_cast<const char*>(text) + shown(b);
         int limit = 8;
         t += std::to_string(b.removeCString(out, &limit)) + out + shown(b);
         return t;
       }},
      {"stream operators",
       [](CIPByteBuffer& b) {
         short s = 0;
         char text[8] = {};
         std::string t = std::to_string(b >> s) + ":" + std::to_string(s);
         t += std::to_string(b >> text) + text + shown(b);
         return t + std::to_string(b << 5) + shown(b);
       }},
      {"copies and assignments, both ways",
       [](CIPByteBuffer& b) {
         CIPByteBuffer copy(b);
         copy.appendByte(0x01);
         std::string t = shown(copy) + shown(b);
         CIPByteBuffer assigned;
         assigned = b;
         b.removeByte();
         t += shown(assigned) + shown(b);
         CIPByteBuffer& same = b;
         b = same;
         t += shown(b);
         CIPByteBuffer other = bufferFromHex("C0 C1");
         b = other;
         t += shown(b);
         b.appendByte(0xC2);
         return t + shown(b) + shown(other);
       }},
      {"getBuffer written through",
       [](CIPByteBuffer& b) {
         unsigned char* p = b.getBuffer();
         p[0] = 0x7F;
         p[5] = 0x80;
         std::string t = std::to_string(b.readShort()) + shown(b);
         b.removeByte();
         b.getBuffer()[0] = 0x11;
         return t + shown(b);
       }},
      {"hex dump and reads leave it as it was",
       [](CIPByteBuffer& b) {
         CString dump;
         b.getHexDump(dump);
         CIPByteBuffer front;
         b.readBytes(3, front);
         return std::string(static_cast<const char*>(dump)) + shown(front) + shown(b);
       }},
  };
}

// The input as a block of exactly its bytes: AddressSanitizer sees any access past it, and
// the test can look at the bytes it still owns.
struct Input {
  unsigned char* block;
  std::unique_ptr<CIPByteBuffer> buffer;
  std::vector<unsigned char> original;
};

Input makeInput() {
  Input in;
  in.original = bytesFromHex(std::string(kFrame) + " " + kAfter);
  in.block = static_cast<unsigned char*>(::operator new(in.original.size()));
  std::memcpy(in.block, in.original.data(), in.original.size());
  in.buffer = std::make_unique<CIPByteBuffer>(in.block, static_cast<int>(in.original.size()));
  return in;
}

TEST(CTLVLentValue, EveryOperationBehavesAsOnABufferOwningTheBytes) {
  for (const Case& c : everyOperation()) {
    SCOPED_TRACE(c.name);
    // A copy's block holds exactly its bytes, as the lent view's bytes do.
    const CIPByteBuffer model = bufferFromHex(kValue);
    CIPByteBuffer owning(model);
    const std::string expected = c.op(owning);

    Input in = makeInput();
    OperationTLV tlv(c.op);
    EXPECT_EQ(1, tlv.setData(*in.buffer));
    EXPECT_EQ(expected, tlv.trace_);
    EXPECT_EQ(9, tlv.getTag());
    EXPECT_EQ(kAfter, hexOf(*in.buffer));
    // The input kept its block and did not move its bytes, so every byte of it, the frame
    // included, must read as it was received.
    ASSERT_EQ(in.block + 10, in.buffer->getBuffer());
    EXPECT_EQ(hexOf(in.original),
              hexOf(std::vector<unsigned char>(in.block, in.block + in.original.size())));
  }
}

TEST(CTLVLentValue, ValueThatEndsTheInputBehavesAsOwnedToo) {
  // The value is the last thing held: the input is emptied afterwards, releasing its block
  // exactly once.
  for (const Case& c : everyOperation()) {
    SCOPED_TRACE(c.name);
    const CIPByteBuffer model = bufferFromHex(kValue);
    CIPByteBuffer owning(model);
    const std::string expected = c.op(owning);

    CIPByteBuffer in = bufferFromHex(kFrame);
    OperationTLV tlv(c.op);
    EXPECT_EQ(1, tlv.setData(in));
    EXPECT_EQ(expected, tlv.trace_);
    EXPECT_EQ(nullptr, in.getBuffer());
    in.appendByte(0x01);
    EXPECT_EQ("01", hexOf(in));
  }
}

}  // namespace

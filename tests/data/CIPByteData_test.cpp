#include "orvelpdu/data/CIPByteData.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "support/Hex.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;

// The helpers are protected: a concrete element exposes them, and implements the contract
// with a wire form of an unsigned 16-bit count followed by an unsigned byte.
class Element : public CIPByteData {
 public:
  using CIPByteData::checkCString;
  using CIPByteData::checkRange;
  using CIPByteData::checkString;
  using CIPByteData::decodeUnsigned;
  using CIPByteData::encodeUnsigned;

  int count = 0;    // 0..65535
  short flags = 0;  // 0..255

  int setData(CIPByteBuffer& buffer) override {
    count = decodeUnsigned(buffer.removeShort());
    flags = decodeUnsigned(buffer.removeByte());
    return 1;
  }
  int getData(CIPByteBuffer& buffer) override {
    if (!checkRange(0, count, 65535) || !checkRange(0, flags, 255)) return 0;
    buffer.appendShort(encodeUnsigned(count));
    buffer.appendByte(encodeUnsigned(flags));
    return 1;
  }
};

TEST(CIPByteData, CheckRangeIsInclusiveAtBothBounds) {
  EXPECT_EQ(1, Element::checkRange(0, 0, 255));
  EXPECT_EQ(1, Element::checkRange(0, 255, 255));
  EXPECT_EQ(0, Element::checkRange(0, 256, 255));
  EXPECT_EQ(0, Element::checkRange(0, -1, 255));
  EXPECT_EQ(0, Element::checkRange(5, 5, 4)) << "a minimum above the maximum admits nothing";
  EXPECT_EQ(1, Element::checkRange(INT_MIN, INT_MIN, INT_MAX));
  EXPECT_EQ(1, Element::checkRange(INT_MIN, INT_MAX, INT_MAX));
  EXPECT_EQ(1, Element::checkRange(7, 7, 7));
}

TEST(CIPByteData, CheckStringAppliesTheRangeTest) {
  const int bounds[] = {INT_MIN, -1, 0, 1, 4, 5, 255, INT_MAX};
  for (int lo : bounds) {
    for (int value : bounds) {
      for (int hi : bounds) {
        ASSERT_EQ(Element::checkRange(lo, value, hi), Element::checkString(lo, value, hi))
            << lo << " " << value << " " << hi;
      }
    }
  }
}

TEST(CIPByteData, CheckCStringCountsTheTerminator) {
  char empty[] = "";
  char abc[] = "abc";
  EXPECT_EQ(1, Element::checkCString(empty, 1));
  EXPECT_EQ(0, Element::checkCString(empty, 0));
  EXPECT_EQ(0, Element::checkCString(empty, 2, 10));
  EXPECT_EQ(0, Element::checkCString(abc, 3));
  EXPECT_EQ(1, Element::checkCString(abc, 4));
  EXPECT_EQ(1, Element::checkCString(abc, 4, 4));
  EXPECT_EQ(0, Element::checkCString(abc, 5, 10));
  EXPECT_EQ(0, Element::checkCString(abc, 5, 4));
  EXPECT_EQ(1, Element::checkCString(abc, INT_MIN, INT_MAX));
}

TEST(CIPByteData, CheckCStringOfNullTextFails) {
  // Whatever the bounds: a null text is not a text that fits.
  EXPECT_EQ(0, Element::checkCString(nullptr, 10));
  EXPECT_EQ(0, Element::checkCString(nullptr, INT_MIN, INT_MAX));
  EXPECT_EQ(0, Element::checkCString(nullptr, 0, 1));
}

TEST(CIPByteData, UnsignedConversionsAtTheEdges) {
  struct Row {
    int input;
    short encodedShort;  // encodeUnsigned(short), as a number; -1 where the input is no short
    int encodedInt;      // encodeUnsigned(int)
  };
  const Row rows[] = {
      {0, 0, 0},      {127, 127, 127},     {128, 128, 128},     {255, 255, 255},     {256, 0, 256},
      {300, 44, 300}, {32767, 255, 32767}, {32768, -1, -32768}, {65535, -1, -1},     {65536, -1, 0},
      {-1, 255, -1},  {INT_MIN, -1, 0},    {INT_MAX, -1, -1},   {-32768, 0, -32768},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.encodedInt, Element::encodeUnsigned(r.input)) << r.input;
    if (r.input >= SHRT_MIN && r.input <= SHRT_MAX) {
      EXPECT_EQ(r.encodedShort, Element::encodeUnsigned(static_cast<short>(r.input))) << r.input;
    }
  }
  EXPECT_EQ(0, Element::decodeUnsigned(static_cast<unsigned char>(0)));
  EXPECT_EQ(127, Element::decodeUnsigned(static_cast<unsigned char>(127)));
  EXPECT_EQ(128, Element::decodeUnsigned(static_cast<unsigned char>(128)));
  EXPECT_EQ(255, Element::decodeUnsigned(static_cast<unsigned char>(255)));
  EXPECT_EQ(0, Element::decodeUnsigned(static_cast<short>(0)));
  EXPECT_EQ(127, Element::decodeUnsigned(static_cast<short>(127)));
  EXPECT_EQ(32767, Element::decodeUnsigned(static_cast<short>(32767)));
  EXPECT_EQ(32768, Element::decodeUnsigned(static_cast<short>(-32768)));
  EXPECT_EQ(65535, Element::decodeUnsigned(static_cast<short>(-1)));
}

TEST(CIPByteData, EightBitConversionsAreInverseOverEveryByte) {
  for (int v = 0; v <= 255; ++v) {
    const unsigned char wire = Element::encodeUnsigned(static_cast<short>(v));
    ASSERT_EQ(v, Element::decodeUnsigned(wire)) << v;
  }
  // Every short is carried by its low 8 bits.
  for (int v = SHRT_MIN; v <= SHRT_MAX; ++v) {
    ASSERT_EQ(v & 0xFF, Element::encodeUnsigned(static_cast<short>(v))) << v;
  }
}

TEST(CIPByteData, SixteenBitConversionsAreInverseOverEveryValue) {
  for (int v = 0; v <= 65535; ++v) {
    ASSERT_EQ(v, Element::decodeUnsigned(Element::encodeUnsigned(v))) << v;
  }
  for (int v = SHRT_MIN; v <= SHRT_MAX; ++v) {
    const short wire = static_cast<short>(v);
    ASSERT_EQ(wire, Element::encodeUnsigned(Element::decodeUnsigned(wire))) << v;
  }
}

TEST(CIPByteData, UnsignedCountsSurviveTheWire) {
  CIPByteBuffer b;
  b.appendShort(Element::encodeUnsigned(300));
  EXPECT_EQ("01 2C", hexOf(b));

  // Every 16-bit quantity, written and read back through a buffer.
  for (int v = 0; v <= 65535; ++v) b.appendShort(Element::encodeUnsigned(v));
  EXPECT_EQ(300, Element::decodeUnsigned(b.removeShort()));
  for (int v = 0; v <= 65535; ++v) {
    ASSERT_EQ(v, Element::decodeUnsigned(b.removeShort())) << v;
  }
  EXPECT_EQ(1, b.isEmpty());
}

TEST(CIPByteData, ConsecutiveElementsParseFromOneBuffer) {
  Element first;
  first.count = 65535;
  first.flags = 200;
  Element second;
  second.count = 300;
  second.flags = 1;
  CIPByteBuffer wire = bufferFromHex("EE");  // what precedes the elements stays
  std::unique_ptr<CIPByteData> asBase = std::make_unique<Element>(first);
  EXPECT_EQ(1, asBase->getData(wire));
  EXPECT_EQ(1, second.getData(wire));
  EXPECT_EQ("EE FF FF C8 01 2C 01", hexOf(wire));

  Element out;
  Element bad;
  bad.count = 65536;
  EXPECT_EQ(0, bad.getData(wire)) << "a value out of range is the element's failure";
  EXPECT_EQ(7u, wire.getLength());

  wire.removeByte();
  EXPECT_EQ(1, out.setData(wire));
  EXPECT_EQ(65535, out.count);
  EXPECT_EQ(200, out.flags);
  EXPECT_EQ(1, out.setData(wire));
  EXPECT_EQ(300, out.count);
  EXPECT_EQ(1, out.flags);
  EXPECT_EQ(1, wire.isEmpty());
}

}  // namespace

// The five fixed-width value types: CTLVByte, CTLVUByte, CTLVShort, CTLVInt and CTLVEmpty.
#include <gtest/gtest.h>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/tlv/CTLVByte.h"
#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVUByte.h"
#include "support/Hex.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;

template <class T>
std::string encoded(T& tlv) {
  CIPByteBuffer out;
  tlv.getData(out);
  return hexOf(out);
}

TEST(CTLVByte, FullByteEncodesAndReadsBackUnsigned) {
  CTLVByte tlv(3, 255);
  EXPECT_EQ(255, tlv.getValue());
  EXPECT_EQ("00 03 00 01 FF", encoded(tlv));
}

TEST(CTLVByte, WrongWidthIsRefusedLeavingBufferAndValue) {
  CTLVByte tlv(3, 9);
  CIPByteBuffer two = bufferFromHex("01 02");
  EXPECT_EQ(0, tlv.setValueData(two));
  EXPECT_EQ("01 02", hexOf(two));
  EXPECT_EQ(9, tlv.getValue());
  CIPByteBuffer none;
  EXPECT_EQ(0, tlv.setValueData(none));

  CTLVByte fresh;
  EXPECT_EQ(0, fresh.setValueData(two));
  EXPECT_EQ(0, fresh.hasValue());
}

TEST(CTLVUByte, ValuesAbove127TravelAsOneByteAndReadBackPositive) {
  CTLVUByte tlv(5);
  tlv.setValue(200);
  EXPECT_EQ("00 05 00 01 C8", encoded(tlv));
  CIPByteBuffer wire = bufferFromHex("00 05 00 01 C8");
  CTLVUByte parsed;
  parsed.setData(wire);
  EXPECT_EQ(200, parsed.getValue());
  EXPECT_EQ(1, parsed.hasValue());
}

TEST(CTLVUByte, OutOfRangeValueIsKeptButOnlyLowByteIsEncoded) {
  CTLVUByte tlv(5);
  tlv.setValue(300);
  EXPECT_EQ(300, tlv.getValue());
  EXPECT_EQ("00 05 00 01 2C", encoded(tlv));
}

TEST(CTLVUByte, EmptyValueIsRefused) {
  CIPByteBuffer wire = bufferFromHex("00 05 00 00");
  CTLVUByte parsed;
  EXPECT_EQ(1, parsed.setData(wire));
  EXPECT_EQ(0, parsed.hasValue());
  EXPECT_EQ(0, parsed.getValue());
  EXPECT_EQ(5, parsed.getTag());
}

TEST(CTLVShort, NegativeValueRoundTripsWithSign) {
  CTLVShort tlv(7, -2);
  EXPECT_EQ("00 07 00 02 FF FE", encoded(tlv));
  CIPByteBuffer wire = bufferFromHex("00 07 00 02 FF FE");
  CTLVShort parsed;
  parsed.setData(wire);
  EXPECT_EQ(7, parsed.getTag());
  EXPECT_EQ(-2, parsed.getValue());
  EXPECT_EQ(1, parsed.hasValue());
}

TEST(CTLVInt, ThreeByteValueIsRefused) {
  CIPByteBuffer wire = bufferFromHex("00 09 00 03 01 02 03");
  CTLVInt parsed;
  EXPECT_EQ(1, parsed.setData(wire));
  EXPECT_EQ(0, parsed.hasValue());
  EXPECT_EQ(0, parsed.getValue());
  EXPECT_EQ(0u, wire.getLength());
}

TEST(CTLVInt, EncodesBigEndian) {
  CTLVInt tlv(0x0102, 0x0A0B0C0D);
  EXPECT_EQ("01 02 00 04 0A 0B 0C 0D", encoded(tlv));
}

TEST(CTLVEmpty, IsWrittenOnlyWithValueAndAsFrameAlone) {
  CTLVEmpty absent(9);
  EXPECT_EQ("", encoded(absent));
  CTLVEmpty present(9, 0);
  EXPECT_EQ("00 09 00 00", encoded(present));
  CTLVEmpty later(9);
  later.setValue(77);
  EXPECT_EQ("00 09 00 00", encoded(later));
  EXPECT_EQ(77, later.getValue());
}

TEST(CTLVEmpty, ParsedFromAnyValueHoldsOne) {
  CIPByteBuffer wire = bufferFromHex("00 09 00 02 AB CD 11");
  CTLVEmpty parsed;
  EXPECT_EQ(1, parsed.setData(wire));
  EXPECT_EQ(1, parsed.getValue());
  EXPECT_EQ(1, parsed.hasValue());
  EXPECT_EQ("11", hexOf(wire));
}

// A copy keeps tag, limits, value and flag, and changing it leaves the source alone.
template <class T, class V>
void expectIndependentCopies(T source, V otherValue) {
  T copied(source);
  T assigned;
  assigned = source;
  for (T* copy : {&copied, &assigned}) {
    EXPECT_EQ(source.getTag(), copy->getTag());
    EXPECT_EQ(source.getValue(), copy->getValue());
    EXPECT_EQ(source.hasValue(), copy->hasValue());
    EXPECT_EQ(encoded(source), encoded(*copy));
    for (int length : {-1, 0, 1, 2, 4, 5}) {
      EXPECT_EQ(source.checkLength(length), copy->checkLength(length)) << length;
    }
    copy->setValue(otherValue);
    copy->setTag(99);
  }
  EXPECT_NE(source.getValue(), copied.getValue());
  EXPECT_NE(99, source.getTag());
}

TEST(CTLVFixedWidth, CopiesKeepEveryFieldAndStayIndependent) {
  expectIndependentCopies(CTLVByte(1, 10), static_cast<unsigned char>(11));
  CTLVUByte ubyte(2);
  ubyte.setValue(250);
  expectIndependentCopies(ubyte, static_cast<short>(251));
  expectIndependentCopies(CTLVShort(3, -3), static_cast<short>(4));
  expectIndependentCopies(CTLVInt(4, 1 << 20), 5);
  expectIndependentCopies(CTLVEmpty(5, 6), 7);
}

}  // namespace

#include "orvelpdu/buffer/CheckedReads.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "support/FailingNew.h"
#include "support/Hex.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;
using orvelpdu::test::ScopedAllocationFailure;

// Every prefix of `hex` shorter than `width` must be refused with the buffer and the output
// untouched; the whole of it must be taken, leaving `after` behind.
struct Field {
  std::string name;
  int width;
  // Runs the read on `in`; on success writes the value as text into `value`. `value` holds
  // a marker before the call, which a refused read must leave as it is.
  std::function<bool(CIPByteBuffer&, std::string&)> take;
};

std::vector<Field> fixedWidthFields() {
  return {
      {"byte", 1,
       [](CIPByteBuffer& in, std::string& v) {
         unsigned char out = 0x11;
         const bool ok = orvelpdu::takeByte(in, out);
         v = std::to_string(out);
         return ok;
       }},
      {"signed short", 2,
       [](CIPByteBuffer& in, std::string& v) {
         short out = 0x1111;
         const bool ok = orvelpdu::takeShort(in, out);
         v = std::to_string(out);
         return ok;
       }},
      {"unsigned short", 2,
       [](CIPByteBuffer& in, std::string& v) {
         unsigned short out = 0x1111;
         const bool ok = orvelpdu::takeShort(in, out);
         v = std::to_string(out);
         return ok;
       }},
      {"signed int", 4,
       [](CIPByteBuffer& in, std::string& v) {
         int out = 0x11111111;
         const bool ok = orvelpdu::takeInt(in, out);
         v = std::to_string(out);
         return ok;
       }},
      {"unsigned int", 4,
       [](CIPByteBuffer& in, std::string& v) {
         unsigned int out = 0x11111111;
         const bool ok = orvelpdu::takeInt(in, out);
         v = std::to_string(out);
         return ok;
       }},
  };
}

TEST(CheckedReads, FixedWidthTakesRefuseEveryTruncationAndTakeExactlyTheField) {
  // FF FE CD CD: the first bytes make negative numbers; CD is the fill byte, so a value read
  // from it could only be told from a fill value by the result.
  const std::string wire = "FF FE CD CD 42";
  const std::vector<std::string> expected = {"255", "-2", "65534", "-78387", "4294888909"};
  const auto fields = fixedWidthFields();
  for (size_t f = 0; f < fields.size(); ++f) {
    const Field& field = fields[f];
    const CIPByteBuffer whole = bufferFromHex(wire);
    for (int n = 0; n < field.width; ++n) {
      CIPByteBuffer cut;
      whole.readBytes(n, cut);
      const std::string before = hexOf(cut);
      std::string value;
      EXPECT_FALSE(field.take(cut, value)) << field.name << " from " << n << " bytes";
      EXPECT_EQ(before, hexOf(cut)) << field.name << " from " << n << " bytes";
      EXPECT_NE(expected[f], value) << field.name << ": a refused read stored a value";
    }
    CIPByteBuffer in = whole;
    std::string value;
    ASSERT_TRUE(field.take(in, value)) << field.name;
    EXPECT_EQ(expected[f], value) << field.name;
    EXPECT_EQ(static_cast<unsigned int>(5 - field.width), in.getLength()) << field.name;
    EXPECT_EQ(hexOf(whole).substr(3 * static_cast<size_t>(field.width)), hexOf(in)) << field.name;
  }
}

TEST(CheckedReads, RefusedReadsLeaveTheOutputAsItWas) {
  CIPByteBuffer in = bufferFromHex("01 02 03");
  int i = 7;
  EXPECT_FALSE(orvelpdu::takeInt(in, i));
  EXPECT_EQ(7, i);
  unsigned short s = 9;
  EXPECT_FALSE(orvelpdu::peekShort(in, 2, s));
  EXPECT_EQ(9, s);
  CIPByteBuffer bytes = bufferFromHex("AA");
  EXPECT_FALSE(orvelpdu::takeBytes(in, 4, bytes));
  EXPECT_EQ("AA", hexOf(bytes));
  CString text("kept");
  EXPECT_FALSE(orvelpdu::takeCString(in, text));
  EXPECT_TRUE(text == "kept");
  EXPECT_EQ("01 02 03", hexOf(in));
}

TEST(CheckedReads, TakeBytesAtEveryCountIntoBuffersAndStrings) {
  const CIPByteBuffer whole = bufferFromHex("61 00 62 63");
  for (int count = -1; count <= 5; ++count) {
    CIPByteBuffer in = whole;
    CIPByteBuffer out = bufferFromHex("EE EE EE EE EE EE");
    const bool fits = count >= 0 && count <= 4;
    EXPECT_EQ(fits, orvelpdu::takeBytes(in, count, out)) << count;
    if (fits) {
      EXPECT_EQ(hexOf(whole).substr(0, count == 0 ? 0 : 3 * static_cast<size_t>(count) - 1),
                hexOf(out));
      EXPECT_EQ(4u - static_cast<unsigned int>(count), in.getLength());
    } else {
      EXPECT_EQ("EE EE EE EE EE EE", hexOf(out));
      EXPECT_EQ(hexOf(whole), hexOf(in));
    }

    CIPByteBuffer in2 = whole;
    CString text("previous text");
    EXPECT_EQ(fits, orvelpdu::takeBytes(in2, count, text)) << count;
    if (fits) {
      // NUL bytes inside the count are characters of the value.
      EXPECT_EQ(count, text.GetLength());
      EXPECT_EQ(0, std::string(static_cast<const char*>(text), static_cast<size_t>(count))
                       .compare(0, std::string::npos, "a\0bc", static_cast<size_t>(count)));
    } else {
      EXPECT_TRUE(text == "previous text");
      EXPECT_EQ(hexOf(whole), hexOf(in2));
    }
  }
  CIPByteBuffer self = whole;
  EXPECT_FALSE(orvelpdu::takeBytes(self, 2, self));
  EXPECT_EQ(hexOf(whole), hexOf(self));
}

TEST(CheckedReads, TakeCStringNeedsTheNulAtEveryTruncation) {
  // "ab" NUL, then another field.
  const CIPByteBuffer whole = bufferFromHex("61 62 00 63");
  for (int n = 0; n <= 2; ++n) {
    CIPByteBuffer cut;
    whole.readBytes(n, cut);
    const std::string before = hexOf(cut);
    CString s("x");
    EXPECT_FALSE(orvelpdu::takeCString(cut, s)) << n;
    EXPECT_TRUE(s == "x");
    EXPECT_EQ(before, hexOf(cut));
  }
  CIPByteBuffer in = whole;
  CString s("longer than the value");
  ASSERT_TRUE(orvelpdu::takeCString(in, s));
  EXPECT_TRUE(s == "ab");
  EXPECT_EQ(2, s.GetLength());
  EXPECT_EQ("63", hexOf(in));

  CIPByteBuffer emptyText = bufferFromHex("00 00");
  ASSERT_TRUE(orvelpdu::takeCString(emptyText, s));
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ("00", hexOf(emptyText));
}

TEST(CheckedReads, PeeksAtEveryOffsetAndTruncation) {
  const CIPByteBuffer header = bufferFromHex("00 00 00 20 80 00 00 21 00 00 00 00 00 00 00 05");
  int length = 0;
  int id = 0;
  ASSERT_TRUE(orvelpdu::peekInt(header, 0, length));
  ASSERT_TRUE(orvelpdu::peekInt(header, 4, id));
  EXPECT_EQ(32, length);
  EXPECT_EQ(static_cast<int>(0x80000021u), id);
  unsigned int uid = 0;
  ASSERT_TRUE(orvelpdu::peekInt(header, 4, uid));
  EXPECT_EQ(0x80000021u, uid);
  EXPECT_EQ(16u, header.getLength());

  for (unsigned int held = 0; held <= 6; ++held) {
    CIPByteBuffer in;
    header.readBytes(static_cast<int>(held), in);
    for (unsigned int offset = 0; offset <= 8; ++offset) {
      unsigned char b = 0;
      short s = 0;
      unsigned short us = 0;
      int i = 0;
      unsigned int ui = 0;
      EXPECT_EQ(offset + 1 <= held, orvelpdu::peekByte(in, offset, b)) << held << "@" << offset;
      EXPECT_EQ(offset + 2 <= held, orvelpdu::peekShort(in, offset, s)) << held << "@" << offset;
      EXPECT_EQ(offset + 2 <= held, orvelpdu::peekShort(in, offset, us));
      EXPECT_EQ(offset + 4 <= held, orvelpdu::peekInt(in, offset, i)) << held << "@" << offset;
      EXPECT_EQ(offset + 4 <= held, orvelpdu::peekInt(in, offset, ui));
    }
    EXPECT_EQ(held, in.getLength());
  }
  // Offsets near the top of the range must not wrap around into the held bytes.
  unsigned char b = 0;
  int i = 0;
  EXPECT_FALSE(orvelpdu::peekByte(header, 0xFFFFFFFFu, b));
  EXPECT_FALSE(orvelpdu::peekInt(header, 0xFFFFFFFEu, i));
  EXPECT_FALSE(orvelpdu::peekInt(header, 13, i));
  EXPECT_TRUE(orvelpdu::peekInt(header, 12, i));
  EXPECT_EQ(5, i);
}

TEST(CheckedReads, ConsecutiveTakesParseAWholeRecord) {
  // short FF FE, int 258, "ab" NUL, 3 bytes, byte 7: each read starts where the last ended.
  CIPByteBuffer in = bufferFromHex("FF FE 00 00 01 02 61 62 00 0A 0B 0C 07");
  short s = 0;
  int i = 0;
  CString text;
  CIPByteBuffer bytes;
  unsigned char b = 0;
  ASSERT_TRUE(orvelpdu::takeShort(in, s));
  ASSERT_TRUE(orvelpdu::takeInt(in, i));
  ASSERT_TRUE(orvelpdu::takeCString(in, text));
  ASSERT_TRUE(orvelpdu::takeBytes(in, 3, bytes));
  ASSERT_TRUE(orvelpdu::takeByte(in, b));
  EXPECT_EQ(-2, s);
  EXPECT_EQ(258, i);
  EXPECT_TRUE(text == "ab");
  EXPECT_EQ("0A 0B 0C", hexOf(bytes));
  EXPECT_EQ(7, b);
  EXPECT_TRUE(in.isEmpty());
  EXPECT_FALSE(orvelpdu::takeByte(in, b));
}

TEST(CheckedReads, AllocationFailureLeavesBothSidesUnchanged) {
  // Each destination needs storage of its own; when it cannot be had nothing moves.
  const std::string text = "a text longer than any short-string storage";
  CIPByteBuffer in;
  in.appendCString(const_cast<char*>(text.c_str()));
  in.appendByte(0);
  in.appendByte(1);
  const std::string wire = hexOf(in);
  CIPByteBuffer out = bufferFromHex("EE");
  CString value("t");
  {
    ScopedAllocationFailure failure(1);
    EXPECT_THROW((void)orvelpdu::takeBytes(in, 4, out), std::bad_alloc);
    EXPECT_TRUE(failure.fired());
  }
  EXPECT_EQ("EE", hexOf(out));
  EXPECT_EQ(wire, hexOf(in));
  {
    ScopedAllocationFailure failure(1);
    EXPECT_THROW((void)orvelpdu::takeCString(in, value), std::bad_alloc);
  }
  EXPECT_TRUE(value == "t");
  EXPECT_EQ(wire, hexOf(in));
  ASSERT_TRUE(orvelpdu::takeCString(in, value));
  EXPECT_TRUE(value == text.c_str());
  EXPECT_EQ("01", hexOf(in));
}

}  // namespace

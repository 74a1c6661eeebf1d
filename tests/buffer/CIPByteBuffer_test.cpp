#include "orvelpdu/buffer/CIPByteBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/BufferModel.h"
#include "support/FailingNew.h"
#include "support/Hex.h"
#include "support/HugeText.h"
#include "support/Text.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;
using orvelpdu::test::textOf;

// A block from the global operator new holding `hex`, with `extra` zero bytes of room behind.
unsigned char* newBlock(const std::string& hex, size_t extra = 0) {
  std::vector<unsigned char> bytes = orvelpdu::test::bytesFromHex(hex);
  auto* p = static_cast<unsigned char*>(::operator new(bytes.size() + extra));
  std::memset(p, 0, bytes.size() + extra);
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  return p;
}

// ---- Integer fields ----

TEST(CIPByteBuffer, IntegerFieldsAreBigEndianAndRemoveInAppendOrder) {
  CIPByteBuffer b;
  b.appendShort(0x1234);
  b.appendInt(258);
  EXPECT_EQ("12 34 00 00 01 02", hexOf(b));
  EXPECT_EQ(4660, b.readShort());
  EXPECT_EQ(6u, b.getLength());
  EXPECT_EQ(0x1234, b.readShort()) << "a read leaves the bytes in place";

  EXPECT_EQ(4660, b.removeShort());
  EXPECT_EQ(258, b.removeInt());
  EXPECT_EQ(1, b.isEmpty());

  b.appendShort(-2);
  b.appendInt(1);
  b.appendByte(0xAB);
  b.appendInt(INT_MIN);
  EXPECT_EQ("FF FE 00 00 00 01 AB 80 00 00 00", hexOf(b));
  EXPECT_EQ(-2, b.removeShort());
  EXPECT_EQ(1, b.readInt());
  EXPECT_EQ(1, b.removeInt());
  EXPECT_EQ(0xAB, b.readByte());
  EXPECT_EQ(0xAB, b.removeByte());
  EXPECT_EQ(INT_MIN, b.removeInt());
}

TEST(CIPByteBuffer, ReadShortIsUnsignedWhileRemoveShortIsSigned) {
  CIPByteBuffer b = bufferFromHex("FF FF 80 00");
  EXPECT_EQ(65535, b.readShort());
  EXPECT_EQ(-1, b.removeShort());
  EXPECT_EQ(32768, b.readShort());
  EXPECT_EQ(-32768, b.removeShort());

  CIPByteBuffer i = bufferFromHex("FF FF FF FF");
  EXPECT_EQ(-1, i.readInt());
}

TEST(CIPByteBuffer, ReadsOnEmptyBufferReturnFillAndChangeNothing) {
  CIPByteBuffer b;
  EXPECT_EQ(205, b.readByte());
  EXPECT_EQ(205, b.removeByte());
  EXPECT_EQ(52685, b.readShort());
  EXPECT_EQ(-12851, b.removeShort());
  EXPECT_EQ(-842150451, b.readInt());
  EXPECT_EQ(-842150451, b.removeInt());
  EXPECT_EQ(0u, b.getLength());
  EXPECT_EQ(nullptr, b.getBuffer());
}

TEST(CIPByteBuffer, RemoveIntOnShortBufferReturnsFillAndEmpties) {
  CIPByteBuffer b = bufferFromHex("01 02 03");
  EXPECT_EQ(-842150451, b.readInt());
  EXPECT_EQ("01 02 03", hexOf(b)) << "a short read keeps the bytes";
  EXPECT_EQ(-842150451, b.removeInt());
  EXPECT_EQ(0u, b.getLength());
  EXPECT_EQ(nullptr, b.getBuffer());

  CIPByteBuffer one = bufferFromHex("7F");
  EXPECT_EQ(52685, one.readShort());
  EXPECT_EQ(-12851, one.removeShort());
  EXPECT_EQ(1, one.isEmpty());
}

// ---- C-string fields ----

TEST(CIPByteBuffer, AppendCStringWritesTextWithoutTerminator) {
  CIPByteBuffer b = bufferFromHex("01");
  char abc[] = "abc";
  b.appendCString(abc);
  EXPECT_EQ("01 61 62 63", hexOf(b));
  char none[] = "";
  b.appendCString(none);
  b.appendCString(static_cast<char*>(nullptr));
  EXPECT_EQ(4u, b.getLength());
}

TEST(CIPByteBuffer, AppendCStringOfStringWritesEveryCountedByteThenRecountsIt) {
  CString s;
  std::memcpy(s.GetBuffer(5), "ab\0cd", 5);
  s.ReleaseBuffer(5);
  CIPByteBuffer b;
  b.appendCString(s);
  EXPECT_EQ("61 62 00 63 64", hexOf(b));
  EXPECT_EQ(2, s.GetLength());
  EXPECT_TRUE(s == "ab");

  CString plain("xy");
  b.appendCString(plain);
  EXPECT_EQ("61 62 00 63 64 78 79", hexOf(b));
  EXPECT_TRUE(plain == "xy");

  CString empty;
  b.appendCString(empty);
  EXPECT_EQ(7u, b.getLength());
}

TEST(CIPByteBuffer, RemoveCStringToStringTakesTextAndItsTerminator) {
  CIPByteBuffer b = bufferFromHex("61 62 00 63");
  CString s("a longer text than the field");
  EXPECT_EQ(1, b.removeCString(s));
  EXPECT_EQ("ab", textOf(s));
  EXPECT_EQ("63", hexOf(b));

  EXPECT_EQ(1, b.removeCString(s));
  EXPECT_EQ("c", textOf(s));
  EXPECT_EQ(nullptr, b.getBuffer()) << "taking the last field releases the block";

  s = "old";
  EXPECT_EQ(0, b.removeCString(s));
  EXPECT_TRUE(s.IsEmpty());

  CIPByteBuffer unterminated = bufferFromHex("61 62");
  EXPECT_EQ(1, unterminated.removeCString(s));
  EXPECT_EQ("ab", textOf(s));
  EXPECT_EQ(1, unterminated.isEmpty());
}

TEST(CIPByteBuffer, CStringFieldsSeparatedByNulParseBackInOrder) {
  CIPByteBuffer b;
  char t1[] = "abc";
  char t3[] = "de";
  b.appendCString(t1);
  b.appendByte(0);
  b.appendByte(0);  // an empty field
  b.appendCString(t3);
  b.appendByte(0);
  b.appendInt(7);

  CString s;
  ASSERT_EQ(1, b.removeCString(s));
  EXPECT_EQ("abc", textOf(s));
  ASSERT_EQ(1, b.removeCString(s));
  EXPECT_EQ("", textOf(s));
  ASSERT_EQ(1, b.removeCString(s));
  EXPECT_EQ("de", textOf(s));
  EXPECT_EQ(7, b.removeInt());
}

TEST(CIPByteBuffer, RemoveCStringToArrayStoresTerminatedTextWhenItFits) {
  CIPByteBuffer b = bufferFromHex("61 62 00 63");
  char dst[8];
  std::memset(dst, 'x', sizeof dst);
  int limit = 3;  // exactly the text plus its NUL
  EXPECT_EQ(3, b.removeCString(dst, &limit));
  EXPECT_STREQ("ab", dst);
  EXPECT_EQ(2, limit);
  EXPECT_EQ("63", hexOf(b));

  // Without a NUL the field is every held byte, and only those are removed.
  limit = 8;
  EXPECT_EQ(1, b.removeCString(dst, &limit));
  EXPECT_STREQ("c", dst);
  EXPECT_EQ(1, limit);
  EXPECT_EQ(nullptr, b.getBuffer());

  // A null limit bounds nothing.
  CIPByteBuffer c = bufferFromHex("00 41");
  EXPECT_EQ(1, c.removeCString(dst, nullptr));
  EXPECT_STREQ("", dst);
  EXPECT_EQ("41", hexOf(c));
}

TEST(CIPByteBuffer, RemoveCStringToArrayReportsNeededSizeWhenTooSmall) {
  CIPByteBuffer b = bufferFromHex("61 62 63 00 64");
  char dst[8];
  std::memset(dst, 'x', sizeof dst);
  int limit = 3;  // one short of "abc" plus NUL
  EXPECT_EQ(0, b.removeCString(dst, &limit));
  EXPECT_EQ(4, limit);
  EXPECT_EQ('x', dst[0]) << "nothing is stored";
  EXPECT_EQ("61 62 63 00 64", hexOf(b));

  limit = -5;
  EXPECT_EQ(0, b.removeCString(dst, &limit));
  EXPECT_EQ(4, limit);

  limit = 8;
  EXPECT_EQ(0, b.removeCString(nullptr, &limit)) << "no destination stores nothing";
  EXPECT_EQ(4, limit);
  EXPECT_EQ(5u, b.getLength());

  // The caller retries with the size it was told.
  EXPECT_EQ(4, b.removeCString(dst, &limit));
  EXPECT_STREQ("abc", dst);
  EXPECT_EQ("64", hexOf(b));
}

TEST(CIPByteBuffer, RemoveCStringToArrayOnEmptyBufferReturnsMinusOne) {
  CIPByteBuffer b;
  char dst[4] = {'x', 'x', 'x', 'x'};
  int limit = 4;
  EXPECT_EQ(-1, b.removeCString(dst, &limit));
  EXPECT_EQ(4, limit);
  EXPECT_EQ('x', dst[0]);
  EXPECT_EQ(-1, b.removeCString(dst, nullptr));
}

// ---- Reading and removing ranges ----

TEST(CIPByteBuffer, ReadBytesReplacesDestinationWithLeadingBytes) {
  CIPByteBuffer src = bufferFromHex("01 02 03 04");
  CIPByteBuffer dst = bufferFromHex("AA BB CC DD EE");
  src.readBytes(10, dst);
  EXPECT_EQ("01 02 03 04", hexOf(dst));
  EXPECT_EQ("01 02 03 04", hexOf(src));

  src.readBytes(2, dst);
  EXPECT_EQ("01 02", hexOf(dst));

  src.readBytes(0, dst);
  EXPECT_EQ(0u, dst.getLength());
  EXPECT_EQ(nullptr, dst.getBuffer());

  dst = bufferFromHex("AA");
  src.readBytes(-3, dst);
  EXPECT_EQ(nullptr, dst.getBuffer());

  src.readBytes(2, src);
  EXPECT_EQ("01 02 03 04", hexOf(src)) << "reading into itself changes nothing";
}

TEST(CIPByteBuffer, RemoveBytesMovesLeadingBytesToDestination) {
  CIPByteBuffer src = bufferFromHex("01 02 03 04 05");
  CIPByteBuffer dst = bufferFromHex("AA");
  src.removeBytes(2, dst);
  EXPECT_EQ("01 02", hexOf(dst));
  EXPECT_EQ("03 04 05", hexOf(src));

  src.removeBuffer(1, dst);
  EXPECT_EQ("03", hexOf(dst));
  EXPECT_EQ("04 05", hexOf(src));

  src.removeBytes(10, dst);
  EXPECT_EQ("04 05", hexOf(dst));
  EXPECT_EQ(nullptr, src.getBuffer());

  CIPByteBuffer self = bufferFromHex("01 02 03");
  self.removeBytes(2, self);
  self.removeBuffer(2, self);
  EXPECT_EQ("01 02 03", hexOf(self)) << "removing into itself changes nothing";
}

// Removing every byte into another buffer may hand the storage itself over: the two buffers
// must come out independent, whatever shape the storage was in.
TEST(CIPByteBuffer, RemovingEveryByteLeavesTwoIndependentBuffers) {
  for (int consumed : {0, 1, 40}) {
    SCOPED_TRACE(consumed);
    CIPByteBuffer src;
    for (int i = 0; i < 50; ++i) src.appendByte(static_cast<unsigned char>(i));
    for (int i = 0; i < consumed; ++i) src.removeByte();
    const std::string rest = hexOf(src);
    CIPByteBuffer dst = bufferFromHex("AA BB");
    src.removeBytes(static_cast<int>(src.getLength()), dst);
    EXPECT_EQ(rest, hexOf(dst));
    EXPECT_EQ(nullptr, src.getBuffer());
    EXPECT_EQ(0u, src.getLength());

    src.appendByte(0xEE);
    for (int i = 0; i < 200; ++i) dst.appendByte(0xDD);
    EXPECT_EQ("EE", hexOf(src));
    EXPECT_EQ(rest, hexOf(dst).substr(0, rest.size()));
    while (dst.getLength() > 3) dst.removeByte();
    EXPECT_EQ("DD DD DD", hexOf(dst));
    EXPECT_EQ("EE", hexOf(src));
    // Each buffer releases its own block once (AddressSanitizer reports a double free).
  }

  unsigned char* p = newBlock("01 02 03 04 05 06");
  CIPByteBuffer adopted(p, 2);
  CIPByteBuffer dst;
  adopted.removeBuffer(5, dst);
  EXPECT_EQ("01 02", hexOf(dst));
  dst.setLength(6);
  EXPECT_EQ("01 02", hexOf(dst)) << "a copy: only the two bytes were ever the buffer's";
}

TEST(CIPByteBuffer, RemoveBytes0DropsLeadingBytes) {
  CIPByteBuffer b = bufferFromHex("01 02 03 04");
  b.removeBytes0(0);
  EXPECT_EQ("01 02 03 04", hexOf(b));
  b.removeBytes0(-1);
  EXPECT_EQ("01 02 03 04", hexOf(b)) << "a negative count changes nothing";
  b.removeBytes0(1);
  EXPECT_EQ("02 03 04", hexOf(b));
  b.removeBytes0(3);
  EXPECT_EQ(nullptr, b.getBuffer());

  CIPByteBuffer more = bufferFromHex("01 02");
  more.removeBytes0(5);
  EXPECT_EQ(0u, more.getLength());
  EXPECT_EQ(nullptr, more.getBuffer());
}

TEST(CIPByteBuffer, RemoveStringCopiesWithoutTerminatorAndDrops) {
  CIPByteBuffer b = bufferFromHex("61 62 63 64 65 66");
  char dst[8];
  std::memset(dst, 'x', sizeof dst);
  b.removeString(dst, 2);
  EXPECT_EQ(0, std::memcmp(dst, "abxx", 4)) << "no NUL is added";
  EXPECT_EQ("63 64 65 66", hexOf(b));

  b.removeString(dst, -1);
  EXPECT_EQ(4u, b.getLength());

  b.removeString(nullptr, 2);
  EXPECT_EQ("65 66", hexOf(b));

  std::memset(dst, 'x', sizeof dst);
  b.removeString(dst, 10);
  EXPECT_EQ(0, std::memcmp(dst, "efxx", 4));
  EXPECT_EQ(nullptr, b.getBuffer());
}

TEST(CIPByteBuffer, RemovingTextsIntoTheBuffersOwnBytesCopiesAsIfThroughATemporary) {
  CIPByteBuffer b = bufferFromHex("61 62 63 64 65 66 67 68");
  b.removeString(reinterpret_cast<char*>(b.getBuffer()) + 1, 4);
  // Bytes 1..4 became "abcd" (61 61 62 63 64 66 67 68), then the first four were dropped.
  EXPECT_EQ("64 66 67 68", hexOf(b));
  b.removeString(reinterpret_cast<char*>(b.getBuffer()), 2);
  EXPECT_EQ("67 68", hexOf(b));

  CIPByteBuffer c = bufferFromHex("61 62 63 00 7A");
  int limit = 16;
  EXPECT_EQ(4, c.removeCString(reinterpret_cast<char*>(c.getBuffer()) + 1, &limit));
  EXPECT_EQ(3, limit);
  // The text and its NUL landed on bytes 1..4 (61 61 62 63 00); the field's 4 bytes went.
  EXPECT_EQ("00", hexOf(c));
}

// Resident memory (RSS) shows about 4 GiB while this runs: the text is one 2 MiB block mapped
// 2,048 times, and reading it through counts the block once per mapping. The memory taken
// is that one block (support/HugeText.h).
TEST(CIPByteBuffer, TextsLongerThanTheLargestBufferAreRefusedNotCut) {
  const char* huge = orvelpdu::test::hugeText();
  if (huge == nullptr) GTEST_SKIP() << orvelpdu::test::hugeTextAbsence();
  ASSERT_EQ(orvelpdu::test::kHugeTextLength, std::strlen(huge));
  CIPByteBuffer b = bufferFromHex("01");
  // Counted as an int, 2^32 + 3 characters are 3: the buffer must refuse, not append 3.
  EXPECT_THROW(b.appendCString(const_cast<char*>(huge)), std::bad_alloc);
  EXPECT_THROW(b << huge, std::bad_alloc);
  EXPECT_EQ("01", hexOf(b));
}

// ---- Appending ----

TEST(CIPByteBuffer, GuardedAppendsAppendNothingWhenGuardsFail) {
  CIPByteBuffer b = bufferFromHex("01");
  unsigned char bytes[] = {0xAA, 0xBB, 0xCC};
  b.appendBytes(bytes, 0);
  b.appendBytes(bytes, -1);
  CIPByteBuffer three = bufferFromHex("11 22 33");
  b.appendBytes(&three, 5);
  b.appendBytes(&three, 0);
  b.appendBytes(static_cast<CIPByteBuffer*>(nullptr), 2);
  b.appendBuffer(nullptr);
  CIPByteBuffer none;
  b.appendBuffer(&none);
  b.appendString(reinterpret_cast<char*>(bytes), -2);
  EXPECT_EQ("01", hexOf(b));

  b.appendBytes(&three, 2);
  b.appendBytes(bytes, 1);
  b.appendBuffer(&three);
  b.appendString(reinterpret_cast<char*>(bytes) + 1, 2);
  EXPECT_EQ("01 11 22 AA 11 22 33 BB CC", hexOf(b));
  EXPECT_EQ("11 22 33", hexOf(three));
}

TEST(CIPByteBuffer, AppendBytesFromNullAppendsZeros) {
  CIPByteBuffer b = bufferFromHex("01");
  b.appendBytes(static_cast<unsigned char*>(nullptr), 3);
  b.appendString(nullptr, 1);
  EXPECT_EQ("01 00 00 00 00", hexOf(b));
}

TEST(CIPByteBuffer, UncheckedAppendsIgnoreArgumentsOutsideTheirLimits) {
  CIPByteBuffer b = bufferFromHex("01 02");
  unsigned char bytes[] = {0xAA};
  b.appendBytes0(static_cast<unsigned char*>(nullptr), 4);
  b.appendBytes0(bytes, -3);
  b.appendString0(nullptr, 4);
  b.appendBytes0(bytes, 0);
  EXPECT_EQ("01 02", hexOf(b));
  b.appendString0(reinterpret_cast<char*>(bytes), 1);
  EXPECT_EQ("01 02 AA", hexOf(b));
}

TEST(CIPByteBuffer, AppendBytes0CountAddsZerosOrDropsFromTheEnd) {
  CIPByteBuffer b = bufferFromHex("01 02 03 04 05");
  b.appendBytes0(-2);
  EXPECT_EQ("01 02 03", hexOf(b));
  // Bytes dropped from the end must not come back when the buffer grows again.
  b.appendBytes0(3);
  EXPECT_EQ("01 02 03 00 00 00", hexOf(b));
  b.appendBytes0(0);
  EXPECT_EQ(6u, b.getLength());
  b.appendBytes0(-6);
  EXPECT_EQ(nullptr, b.getBuffer());

  CIPByteBuffer clamp = bufferFromHex("01 02");
  clamp.appendBytes0(-100);
  EXPECT_EQ(0u, clamp.getLength());
  EXPECT_EQ(nullptr, clamp.getBuffer());
}

TEST(CIPByteBuffer, ResizeKeepsLeadingBytesAndZeroFills) {
  CIPByteBuffer b = bufferFromHex("11 22 33");
  b.resize(-1);
  EXPECT_EQ("11 22 33", hexOf(b));
  b.resize(5);
  EXPECT_EQ("11 22 33 00 00", hexOf(b));
  b.resize(1);
  EXPECT_EQ("11", hexOf(b));
  b.resize(3);
  EXPECT_EQ("11 00 00", hexOf(b));
  b.resize(0);
  EXPECT_EQ(1, b.isEmpty());
  EXPECT_EQ(nullptr, b.getBuffer());
  b.resize(2);
  EXPECT_EQ("00 00", hexOf(b));

  CIPByteBuffer front = bufferFromHex("11 22 33");
  front.removeByte();
  front.resize(4);
  EXPECT_EQ("22 33 00 00", hexOf(front));
}

TEST(CIPByteBuffer, AppendingItselfAppendsBytesAsTheyWereBeforeTheCall) {
  CIPByteBuffer b = bufferFromHex("01 02 03");
  b.appendBuffer(&b);
  EXPECT_EQ("01 02 03 01 02 03", hexOf(b));
  b.appendBytes(&b, 2);
  EXPECT_EQ("01 02 03 01 02 03 01 02", hexOf(b));
  b.appendBytes(&b, 9);
  EXPECT_EQ(8u, b.getLength()) << "more than it holds appends nothing";
  b.appendBytes0(b.getBuffer() + 6, 2);
  EXPECT_EQ("01 02 03 01 02 03 01 02 01 02", hexOf(b));

  CIPByteBuffer text = bufferFromHex("00 61 62 00");
  text.appendCString(reinterpret_cast<char*>(text.getBuffer()) + 1);
  EXPECT_EQ("00 61 62 00 61 62", hexOf(text));
}

TEST(CIPByteBuffer, SelfAppendSurvivesEveryGrowthStep) {
  // Doubling over a range of sizes hits both the case where the block has room and the case
  // where it is replaced during the append; a dead prefix in front shifts the positions.
  for (int size = 1; size <= 300; ++size) {
    for (int prefix : {0, 1, 7}) {
      CIPByteBuffer b;
      std::vector<unsigned char> model;
      for (int i = 0; i < prefix; ++i) b.appendByte(0xEE);
      for (int i = 0; i < size; ++i) {
        b.appendByte(static_cast<unsigned char>(i));
        model.push_back(static_cast<unsigned char>(i));
      }
      b.removeBytes0(prefix);
      b.appendBuffer(&b);
      model.insert(model.end(), model.begin(), model.end());
      ASSERT_EQ(hexOf(model), hexOf(b)) << "size " << size << " prefix " << prefix;
    }
  }
}

// ---- Storage, adoption and setBuffer ----

TEST(CIPByteBuffer, AdoptsBlockFromGlobalNewWithoutCopying) {
  unsigned char* p = newBlock("01 02 03 04");
  CIPByteBuffer b(p, 4);
  EXPECT_EQ(p, b.getBuffer());
  EXPECT_EQ("01 02 03 04", hexOf(b));
  EXPECT_EQ(1, b.removeByte());
  b.appendShort(0x0506);
  EXPECT_EQ("02 03 04 05 06", hexOf(b));
  // Released by the destructor; LeakSanitizer reports it otherwise.
}

TEST(CIPByteBuffer, AdoptedBlockMayHoldMoreThanItsLength) {
  unsigned char* p = newBlock("01 02 03 04 05 06");
  CIPByteBuffer b(p, 2);
  EXPECT_EQ("01 02", hexOf(b));
  b.setLength(6);
  EXPECT_EQ("01 02 03 04 05 06", hexOf(b));
  b.appendByte(0x07);
  EXPECT_EQ("01 02 03 04 05 06 07", hexOf(b));
}

TEST(CIPByteBuffer, AdoptingConstructorTakesInconsistentArgumentsAsEmpty) {
  CIPByteBuffer none(nullptr, 0);
  EXPECT_EQ(nullptr, none.getBuffer());
  CIPByteBuffer nullWithLength(nullptr, 5);
  EXPECT_EQ(0u, nullWithLength.getLength());
  nullWithLength.appendByte(1);
  EXPECT_EQ("01", hexOf(nullWithLength));

  unsigned char* p = newBlock("AA BB");
  CIPByteBuffer negative(p, -3);
  EXPECT_EQ(0u, negative.getLength());
  EXPECT_EQ(p, negative.getBuffer()) << "the block is still owned, and released later";
}

TEST(CIPByteBuffer, SetBufferReleasesTheOldBlockAndInstallsTheNew) {
  CIPByteBuffer b = bufferFromHex("01 02 03");
  unsigned char* p = newBlock("AA BB CC DD");
  b.setBuffer(p);
  EXPECT_EQ(p, b.getBuffer());
  EXPECT_EQ(0u, b.getLength());
  b.setLength(3);
  EXPECT_EQ("AA BB CC", hexOf(b));
  b.appendByte(0xEE);
  EXPECT_EQ("AA BB CC EE", hexOf(b));

  b.setBuffer(nullptr);
  EXPECT_EQ(nullptr, b.getBuffer());
  EXPECT_EQ(0u, b.getLength());
  b.setLength(4);
  EXPECT_EQ(0u, b.getLength()) << "no block: nothing to expose";
}

TEST(CIPByteBuffer, SetBufferWithTheHeldBlockKeepsIt) {
  CIPByteBuffer b = bufferFromHex("01 02 03");
  unsigned char* held = b.getBuffer();
  b.setBuffer(held);
  EXPECT_EQ(held, b.getBuffer());
  EXPECT_EQ(0u, b.getLength());
  // The block is still alive (AddressSanitizer would report a use after free here).
  b.setLength(3);
  EXPECT_EQ("01 02 03", hexOf(b));

  unsigned char* adopted = newBlock("0A 0B");
  CIPByteBuffer a(adopted, 2);
  a.setBuffer(adopted);
  a.setLength(2);
  EXPECT_EQ("0A 0B", hexOf(a));
}

TEST(CIPByteBuffer, SetBufferKeepsTheBlockForEveryPointerItKnowsToLieInIt) {
  // A copy's block holds exactly its bytes, so the end of the bytes is the end of the block.
  CIPByteBuffer source = bufferFromHex("01 02 03 04");
  CIPByteBuffer made(source);
  unsigned char* start = made.getBuffer();
  made.setBuffer(start + 4);
  EXPECT_EQ(start + 4, made.getBuffer());
  EXPECT_EQ(0u, made.getLength());
  made.setBuffer(start + 1);
  made.setLength(9);
  EXPECT_EQ("02 03 04", hexOf(made)) << "clamped to the block it made";

  // The end of an adopted block's bytes lies inside the block: it must not be released.
  unsigned char* block = newBlock("0A 0B 0C 0D 0E 0F");
  CIPByteBuffer adopted(block, 2);
  adopted.setBuffer(block + 2);
  EXPECT_EQ(block + 2, adopted.getBuffer());
  adopted.setLength(2);
  EXPECT_EQ("0C 0D", hexOf(adopted));
  // Once told of more of the block by setLength, every byte of that counts as inside.
  adopted.setBuffer(block);
  adopted.setLength(6);
  adopted.setLength(0);
  adopted.setBuffer(block + 5);
  adopted.setLength(1);
  EXPECT_EQ("0F", hexOf(adopted));
  adopted.setBuffer(block + 6);
  EXPECT_EQ(0u, adopted.getLength());
  adopted.setBuffer(block + 1);
  adopted.setLength(2);
  EXPECT_EQ("0B 0C", hexOf(adopted)) << "the block is still held and alive";
}

TEST(CIPByteBuffer, SetLengthShortensAndClampsToTheBlockItMade) {
  CIPByteBuffer b = bufferFromHex("01 02 03 04");
  b.setLength(2);
  EXPECT_EQ("01 02", hexOf(b));
  b.setLength(4);
  EXPECT_EQ("01 02 03 04", hexOf(b)) << "the bytes are not touched";
  b.setLength(0);
  EXPECT_EQ(1, b.isEmpty());

  CIPByteBuffer big = bufferFromHex("01 02");
  big.setLength(0x7FFFFFFFu);
  EXPECT_LT(big.getLength(), 4096u) << "a length beyond a block it made is clamped to it";
  EXPECT_EQ("01 02", hexOf(big).substr(0, 5));
  const unsigned char* spare = big.getBuffer() + 2;
  const unsigned char* end = big.getBuffer() + big.getLength();
  EXPECT_TRUE(std::all_of(spare, end, [](unsigned char c) { return c == 0; }))
      << "room the buffer never wrote to reads as zero, never as uninitialised memory";
}

TEST(CIPByteBuffer, SetLengthPastTheBytesShowsZerosNotUninitialisedMemory) {
  // The spare room a growing buffer makes is zeroed like every block it makes, so a length
  // clamped to the block never reveals what the heap held before.
  CIPByteBuffer b;
  b.appendShort(0x0102);
  b.appendBytes0(100);
  b.appendBytes0(-100);
  b.appendInt(0x03040506);
  b.setLength(0x7FFFFFFFu);
  const std::string shown = hexOf(b);
  ASSERT_GT(b.getLength(), 106u);
  EXPECT_EQ("01 02 03 04 05 06", shown.substr(0, 17));
  // Bytes 6 to 101 are the zeros appended and dropped again; the rest is spare room.
  EXPECT_EQ(std::string::npos, shown.find_first_not_of("0 ", 18)) << shown;
}

TEST(CIPByteBuffer, EmptyReleasesTheBlock) {
  CIPByteBuffer b;
  EXPECT_EQ(1, b.isEmpty());
  b.appendByte(1);
  EXPECT_EQ(0, b.isEmpty());
  b.empty();
  EXPECT_EQ(1, b.isEmpty());
  EXPECT_EQ(nullptr, b.getBuffer());
  b.empty();
  EXPECT_EQ(0u, b.getLength());
}

TEST(CIPByteBuffer, OperationsThatLeaveNothingHeldLeaveNoBlock) {
  const std::vector<std::pair<const char*, std::function<void(CIPByteBuffer&)>>> cases = {
      {"empty", [](CIPByteBuffer& b) { b.empty(); }},
      {"resize(0)", [](CIPByteBuffer& b) { b.resize(0); }},
      {"removeBytes0(length)", [](CIPByteBuffer& b) { b.removeBytes0(4); }},
      {"removeInt", [](CIPByteBuffer& b) { b.removeInt(); }},
      {"removeShort twice",
       [](CIPByteBuffer& b) {
         b.removeShort();
         b.removeShort();
       }},
      {"removeByte past the end",
       [](CIPByteBuffer& b) {
         for (int i = 0; i < 5; ++i) b.removeByte();
       }},
      {"removeString", [](CIPByteBuffer& b) { b.removeString(nullptr, 4); }},
      {"removeCString",
       [](CIPByteBuffer& b) {
         CString s;
         b.removeCString(s);
       }},
      {"removeBytes into dst",
       [](CIPByteBuffer& b) {
         CIPByteBuffer dst;
         b.removeBytes(4, dst);
       }},
      {"appendBytes0(-length)", [](CIPByteBuffer& b) { b.appendBytes0(-4); }},
      {"assignment from empty",
       [](CIPByteBuffer& b) {
         CIPByteBuffer none;
         b = none;
       }},
      {"readBytes(0) into it",
       [](CIPByteBuffer& b) {
         CIPByteBuffer src = bufferFromHex("01 02");
         src.readBytes(0, b);
       }},
      {"readBytes from empty into it",
       [](CIPByteBuffer& b) {
         CIPByteBuffer src;
         src.readBytes(3, b);
       }},
  };
  for (const auto& [name, op] : cases) {
    CIPByteBuffer b = bufferFromHex("61 62 63 64");
    op(b);
    EXPECT_EQ(0u, b.getLength()) << name;
    EXPECT_EQ(nullptr, b.getBuffer()) << name;
  }

  CIPByteBuffer none;
  CIPByteBuffer copy(none);
  EXPECT_EQ(nullptr, copy.getBuffer());
}

TEST(CIPByteBuffer, GetBufferShowsTheFirstHeldByteAfterRemovals) {
  CIPByteBuffer b;
  for (int i = 0; i < 200; ++i) b.appendByte(static_cast<unsigned char>(i));
  for (int i = 0; i < 199; ++i) {
    b.removeByte();
    ASSERT_EQ(static_cast<unsigned char>(i + 1), b.getBuffer()[0]);
    ASSERT_EQ(static_cast<unsigned int>(199 - i), b.getLength());
  }
  const CIPByteBuffer& view = b;
  EXPECT_EQ(199, view.getBuffer()[0]);
}

// ---- Cost: growth is geometric and removal from the front copies nothing ----

TEST(CIPByteBuffer, AppendingManyFieldsAllocatesLogarithmicallyOften) {
  CIPByteBuffer b;
  const long before = orvelpdu::test::allocationCount();
  for (int i = 0; i < 100000; ++i) b.appendInt(i);
  const long allocations = orvelpdu::test::allocationCount() - before;
  EXPECT_LE(allocations, 40) << "400000 bytes appended in 4-byte fields";

  const long beforeRemoval = orvelpdu::test::allocationCount();
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(i, b.removeInt());
  EXPECT_EQ(0, orvelpdu::test::allocationCount() - beforeRemoval);
  EXPECT_EQ(nullptr, b.getBuffer());
}

// ---- Copies and assignment ----

TEST(CIPByteBuffer, CopyConstructionIsDeep) {
  CIPByteBuffer a = bufferFromHex("01 02 03");
  a.removeByte();  // a copy holds only the live bytes
  CIPByteBuffer b(a);
  EXPECT_EQ("02 03", hexOf(b));
  EXPECT_NE(a.getBuffer(), b.getBuffer());
  b.appendByte(4);
  b.getBuffer()[0] = 0xFF;
  EXPECT_EQ("02 03", hexOf(a));
  a.empty();
  EXPECT_EQ("FF 03 04", hexOf(b));
}

TEST(CIPByteBuffer, AssignmentCopiesAndSelfAssignmentChangesNothing) {
  CIPByteBuffer a = bufferFromHex("01 02 03");
  CIPByteBuffer b = bufferFromHex("AA BB CC DD EE FF");
  CIPByteBuffer* result = &(b = a);
  EXPECT_EQ(&b, result);
  EXPECT_EQ("01 02 03", hexOf(b));
  b.appendByte(4);
  EXPECT_EQ("01 02 03", hexOf(a));

  unsigned char* held = a.getBuffer();
  CIPByteBuffer& alias = a;
  a = alias;
  EXPECT_EQ(held, a.getBuffer());
  EXPECT_EQ("01 02 03", hexOf(a));

  // Destroying both releases each block once (AddressSanitizer checks double frees).
  {
    CIPByteBuffer c(a);
    CIPByteBuffer d;
    d = c;
  }
  EXPECT_EQ("01 02 03", hexOf(a));
}

// ---- Stream operators ----

TEST(CIPByteBuffer, AppendOperatorsReturnTheFieldWidth) {
  CIPByteBuffer b;
  const int one = 1;
  const short minusTwo = -2;
  const char letter = 'A';
  const unsigned int big = 0xFFFFFFFEu;
  const unsigned short ushort = 0xFFFE;
  EXPECT_EQ(4, b << one);
  EXPECT_EQ(2, b << minusTwo);
  EXPECT_EQ(1, b << letter);
  EXPECT_EQ(4, b << big);
  EXPECT_EQ(2, b << ushort);
  EXPECT_EQ(4, b << 0x100000102UL) << "an unsigned long writes its low 32 bits";
  EXPECT_EQ("00 00 00 01 FF FE 41 FF FF FF FE FF FE 00 00 01 02", hexOf(b));

  CIPByteBuffer t;
  EXPECT_EQ(4, t << "abc");
  EXPECT_EQ(1, t << "");
  EXPECT_EQ(1, t << static_cast<const char*>(nullptr));
  EXPECT_EQ("61 62 63", hexOf(t));
}

TEST(CIPByteBuffer, RemoveOperatorsStoreFillOnShortBuffer) {
  CIPByteBuffer b = bufferFromHex("01 02 03");
  int i = 0;
  EXPECT_EQ(4, b >> i);
  EXPECT_EQ(-842150451, i);
  EXPECT_EQ(1, b.isEmpty());

  short sh = 0;
  EXPECT_EQ(2, b >> sh);
  EXPECT_EQ(-12851, sh);
  char c = 0;
  EXPECT_EQ(1, b >> c);
  EXPECT_EQ(static_cast<char>(0xCD), c);
  unsigned long ul = 0;
  EXPECT_EQ(4, b >> ul);
  EXPECT_EQ(0xCDCDCDCDUL, ul);
  char text[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(-1, b >> text);
  EXPECT_EQ('x', text[0]);
}

TEST(CIPByteBuffer, StreamOperatorsRoundTrip) {
  CIPByteBuffer b;
  const int i = -5;
  const unsigned int u = 0x80000001u;
  const short s = -300;
  const unsigned short us = 65000;
  const char c = '\x9C';
  b << i;
  b << u;
  b << 0xFFFFFFFFUL;
  b << s;
  b << us;
  b << c;
  b << "hello";
  b << '\0';
  b << "end";

  int i2 = 0;
  unsigned int u2 = 0;
  unsigned long ul2 = 0;
  short s2 = 0;
  unsigned short us2 = 0;
  char c2 = 0;
  char text[16];
  EXPECT_EQ(4, b >> i2);
  EXPECT_EQ(4, b >> u2);
  EXPECT_EQ(4, b >> ul2);
  EXPECT_EQ(2, b >> s2);
  EXPECT_EQ(2, b >> us2);
  EXPECT_EQ(1, b >> c2);
  EXPECT_EQ(i, i2);
  EXPECT_EQ(u, u2);
  EXPECT_EQ(0xFFFFFFFFUL, ul2) << "stored zero-extended";
  EXPECT_EQ(s, s2);
  EXPECT_EQ(us, us2);
  EXPECT_EQ(c, c2);
  // A NUL-ended field removes as many bytes as operator<< reported for it.
  EXPECT_EQ(6, b >> text);
  EXPECT_STREQ("hello", text);
  EXPECT_EQ(3, b >> text);
  EXPECT_STREQ("end", text);
  EXPECT_EQ(-1, b >> text);
}

// ---- Hex dump ----

TEST(CIPByteBuffer, HexDumpWritesEachByteWithoutLeadingZeros) {
  CString s("stale");
  CIPByteBuffer b = bufferFromHex("00 0A FF");
  b.getHexDump(s);
  EXPECT_EQ("0AFF", textOf(s));
  EXPECT_EQ("00 0A FF", hexOf(b));

  bufferFromHex("10 01").getHexDump(s);
  EXPECT_EQ("101", textOf(s));

  CIPByteBuffer empty;
  empty.getHexDump(s);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CIPByteBuffer, HexDumpMatchesPrintfForEveryByte) {
  CIPByteBuffer b;
  std::string expected;
  for (int v = 0; v < 256; ++v) {
    b.appendByte(static_cast<unsigned char>(v));
    char digits[4];
    std::snprintf(digits, sizeof digits, "%X", v);
    expected += digits;
  }
  b.removeByte();  // a dead prefix must not show
  CString s;
  b.getHexDump(s);
  EXPECT_EQ(expected.substr(1), textOf(s));
}

// ---- Storage helpers ----

class StorageHelpers : public CIPByteBuffer {
 public:
  using CIPByteBuffer::Free;
  using CIPByteBuffer::Malloc;
  using CIPByteBuffer::Realloc;
};

TEST(CIPByteBuffer, StorageHelpersMakeZeroFilledBlocksAndCopyThePrefix) {
  unsigned char* p = StorageHelpers::Malloc(6);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ("00 00 00 00 00 00", hexOf(std::vector<unsigned char>(p, p + 6)));
  p[0] = 0x11;
  p[1] = 0x22;
  p[2] = 0x33;

  p = StorageHelpers::Realloc(p, 3, 5);
  EXPECT_EQ("11 22 33 00 00", hexOf(std::vector<unsigned char>(p, p + 5)));
  p = StorageHelpers::Realloc(p, 5, 2);
  EXPECT_EQ("11 22", hexOf(std::vector<unsigned char>(p, p + 2)));

  // Blocks from the helpers are blocks a buffer may adopt.
  CIPByteBuffer adopted(p, 2);
  EXPECT_EQ("11 22", hexOf(adopted));

  unsigned char* fresh = StorageHelpers::Realloc(nullptr, 0, 3);
  EXPECT_EQ("00 00 00", hexOf(std::vector<unsigned char>(fresh, fresh + 3)));
  StorageHelpers::Free(fresh);
  StorageHelpers::Free(nullptr);
  EXPECT_EQ(nullptr, StorageHelpers::Malloc(0));
}

// ---- Against the fuzzer's model: every operation, in random order ----

using orvelpdu::fuzz::BufferModel;

// One random operation applied to the buffer and the model alike. The bytes and the block's
// presence are compared after every step; reads are compared where they happen.
struct RandomStep {
  std::mt19937& rng;
  CIPByteBuffer& b;
  BufferModel& model;
  int step;

  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  int size() const { return model.length(); }
};

void appendByteStep(RandomStep& s) {
  const int v = s.pick(0, 255);
  s.b.appendByte(static_cast<unsigned char>(v));
  s.model.appendBE(static_cast<uint32_t>(v), 1);
}

void appendShortStep(RandomStep& s) {
  const int v = s.pick(0, 0xFFFF);
  s.b.appendShort(static_cast<short>(v));
  s.model.appendBE(static_cast<uint32_t>(v), 2);
}

void appendIntStep(RandomStep& s) {
  const int v = s.pick(INT_MIN, INT_MAX);
  s.b.appendInt(v);
  s.model.appendBE(static_cast<uint32_t>(v), 4);
}

void appendBytesStep(RandomStep& s) {
  std::vector<unsigned char> bytes(static_cast<size_t>(s.pick(0, 90)));
  for (auto& x : bytes) x = static_cast<unsigned char>(s.pick(0, 255));
  s.b.appendBytes(bytes.data(), static_cast<int>(bytes.size()));
  s.model.append(bytes);
}

void removeByteStep(RandomStep& s) {
  const int expected = s.model.readByte();
  ASSERT_EQ(expected, s.b.removeByte()) << "step " << s.step;
  s.model.removeFront(1);
}

void removeShortStep(RandomStep& s) {
  const int expected = s.model.readShort();
  ASSERT_EQ(expected, s.b.readShort()) << "step " << s.step;
  ASSERT_EQ(static_cast<short>(expected), s.b.removeShort()) << "step " << s.step;
  s.model.removeFront(2);
}

void removeIntStep(RandomStep& s) {
  ASSERT_EQ(s.model.readInt(), s.b.removeInt()) << "step " << s.step;
  s.model.removeFront(4);
}

void removeBytes0Step(RandomStep& s) {
  const int n = s.pick(0, 60);
  s.b.removeBytes0(n);
  s.model.removeFront(n);
}

void removeBytesStep(RandomStep& s) {
  const int n = s.pick(-2, 60);
  CIPByteBuffer dst = bufferFromHex("EE");
  s.b.removeBytes(n, dst);
  ASSERT_EQ(hexOf(s.model.front(n)), hexOf(dst)) << "step " << s.step;
  s.model.removeFront(n);
}

void appendItselfStep(RandomStep& s) {
  if (s.size() >= 4000) return;
  s.b.appendBuffer(&s.b);
  s.model.append(std::vector<uint8_t>(s.model.bytes));
}

void dropFromEndStep(RandomStep& s) {
  const int n = s.pick(0, s.size());
  s.b.appendBytes0(-n);
  s.model.appendZeros(-n);
}

void resizeStep(RandomStep& s) {
  const int n = s.pick(0, s.size() + 40);
  s.b.resize(n);
  s.model.resize(n);
}

void appendOwnBytesStep(RandomStep& s) {
  if (s.size() == 0) return;
  const int from = s.pick(0, s.size() - 1);
  const int n = s.pick(1, s.size() - from);
  s.b.appendBytes0(s.b.getBuffer() + from, n);
  const auto begin = s.model.bytes.begin() + from;
  s.model.append(std::vector<uint8_t>(begin, begin + n));
}

void expectMatches(const BufferModel& model, const CIPByteBuffer& b, int step) {
  ASSERT_EQ(model.bytes.size(), b.getLength()) << "step " << step;
  ASSERT_EQ(hexOf(model.bytes), hexOf(b)) << "step " << step;
  if (model.bytes.empty()) {
    ASSERT_EQ(nullptr, b.getBuffer()) << "step " << step;
  }
}

TEST(CIPByteBuffer, RandomOperationsMatchAPlainByteVector) {
  static constexpr void (*kSteps[])(RandomStep&) = {
      appendByteStep,  appendShortStep, appendIntStep,     appendBytesStep, removeByteStep,
      removeShortStep, removeIntStep,   removeBytes0Step,  removeBytesStep, appendItselfStep,
      dropFromEndStep, resizeStep,      appendOwnBytesStep};
  std::mt19937 rng(20240611);
  CIPByteBuffer b;
  BufferModel model;
  for (int step = 0; step < 20000; ++step) {
    RandomStep s{rng, b, model, step};
    kSteps[s.pick(0, static_cast<int>(std::size(kSteps)) - 1)](s);
    if (testing::Test::HasFatalFailure()) return;
    expectMatches(model, b, step);
    if (testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace

namespace {

// The dead prefix that removals leave is reclaimed only when the buffer next needs room. A
// random mix of fixed-width appends and removes, appends of the buffer's own bytes and
// appends of another buffer is checked against a plain byte vector after every step, so a
// reclaim that moved bytes under an append from inside the block, or a fast path that wrote
// past the room it checked, shows as a difference.
TEST(CIPByteBuffer, RemovalsThenAppendsKeepEveryByteThroughReclaimsAndGrowth) {
  std::mt19937 random(2026);
  CIPByteBuffer b;
  CIPByteBuffer other = bufferFromHex("C0 C1 C2");
  std::vector<unsigned char> model;
  auto held = [&b] {
    const unsigned char* p = b.getBuffer();
    return p == nullptr ? std::vector<unsigned char>()
                        : std::vector<unsigned char>(p, p + b.getLength());
  };
  auto dropFront = [&model](size_t n) {
    model.erase(model.begin(), model.begin() + static_cast<long>(std::min(n, model.size())));
  };
  for (int step = 0; step < 20000; ++step) {
    const int op = static_cast<int>(random() % 8);
    const unsigned char v = static_cast<unsigned char>(random());
    switch (op) {
      case 0:
        b.appendByte(v);
        model.push_back(v);
        break;
      case 1:
        b.appendShort(static_cast<short>(v << 8 | 0x11));
        model.insert(model.end(), {v, 0x11});
        break;
      case 2:
        b.appendInt(static_cast<int>(0x01020300u | v));
        model.insert(model.end(), {0x01, 0x02, 0x03, v});
        break;
      case 3: {
        // Part of the held bytes, from inside the block, appended behind them.
        const int n = static_cast<int>(std::min<size_t>(model.size(), 1 + v % 40));
        if (n == 0) break;
        const size_t from = model.size() - static_cast<size_t>(n);
        const std::vector<unsigned char> copied(model.begin() + static_cast<long>(from),
                                                model.end());
        b.appendBytes0(b.getBuffer() + from, n);
        model.insert(model.end(), copied.begin(), copied.end());
        break;
      }
      case 4:
        b.appendBuffer(&other);
        model.insert(model.end(), {0xC0, 0xC1, 0xC2});
        break;
      case 5:
        ASSERT_EQ(model.size() >= 4
                      ? static_cast<int>(model[0] << 24 | model[1] << 16 | model[2] << 8 | model[3])
                      : static_cast<int>(0xCDCDCDCDu),
                  b.removeInt());
        if (model.size() <= 4) model.clear();
        dropFront(4);
        break;
      case 6:
        ASSERT_EQ(model.empty() ? 0xCD : model[0], b.removeByte());
        dropFront(1);
        break;
      default:
        b.removeBytes0(v % 64);
        dropFront(v % 64);
        break;
    }
    ASSERT_EQ(model, held()) << "after step " << step << " (operation " << op << ")";
    if (model.empty()) {
      ASSERT_EQ(nullptr, b.getBuffer()) << "after step " << step;
    }
  }
}

// Appending to a buffer whose removals have freed more than half its block reuses the block:
// the held bytes move to its front, without an allocation, and what setLength may show
// behind them is only zero or bytes the buffer held before.
TEST(CIPByteBuffer, ReclaimingTheDeadPrefixNeedsNoAllocationAndExposesNothingNew) {
  CIPByteBuffer b;
  for (int i = 0; i < 512; ++i) b.appendByte(static_cast<unsigned char>(1 + i % 200));
  const unsigned char* block = b.getBuffer();
  b.removeBytes0(500);  // 12 bytes held, at the end of the block
  const long before = orvelpdu::test::allocationCount();
  for (int i = 0; i < 20; ++i) b.appendByte(0xEE);
  EXPECT_EQ(before, orvelpdu::test::allocationCount()) << "the block was reused";
  EXPECT_EQ(block, b.getBuffer()) << "the held bytes moved to the front of the block";
  ASSERT_EQ(32u, b.getLength());
  for (unsigned int i = 0; i < 12; ++i) {
    EXPECT_EQ(1 + (500 + i) % 200, b.getBuffer()[i]) << "byte " << i;
  }
  b.setLength(0x7FFFFFFFu);
  ASSERT_EQ(512u, b.getLength());
  for (unsigned int i = 32; i < 512; ++i) {
    // Each byte behind the held ones is what it was before the move.
    EXPECT_EQ(1 + i % 200, b.getBuffer()[i]) << "byte " << i;
  }
}

// Moving bytes from the front to the back (appending the buffer's own first bytes, then
// removing them) keeps the length, so the block must stay within a small multiple of it
// however often the dead front reaches the end of the block: the append's source lies
// inside the block, and the dead front is reclaimed all the same.
TEST(CIPByteBuffer, RotatingBytesFromFrontToBackKeepsTheBlockWithinASmallMultipleOfTheLength) {
  for (int length : {104, 3000}) {
    for (int width : {1, 37}) {
      std::vector<unsigned char> model(static_cast<size_t>(length));
      for (size_t i = 0; i < model.size(); ++i) model[i] = static_cast<unsigned char>(i * 7 + 1);
      const long base = orvelpdu::test::liveBytes();
      long peak = 0;
      {
        CIPByteBuffer b;
        b.appendBytes0(model.data(), length);
        for (int round = 0; round < 100000; ++round) {
          if (round % 2 == 0) {
            b.appendBytes0(b.getBuffer(), width);
          } else {
            b.appendBytes(&b, width);
          }
          b.removeBytes0(width);
          peak = std::max(peak, orvelpdu::test::liveBytes() - base);
        }
        ASSERT_EQ(static_cast<unsigned int>(length), b.getLength());
        const size_t shift = static_cast<size_t>(100000L * width % length);
        std::rotate(model.begin(), model.begin() + static_cast<long>(shift), model.end());
        ASSERT_EQ(hexOf(model), hexOf(b)) << "length " << length << " width " << width;
      }
      EXPECT_LE(peak, 4L * std::max(512, length + width))
          << "length " << length << " width " << width << ": bytes held at the peak";
    }
  }
}

// The fast paths take the room check at its exact edge: an append that just fits stays in
// the block, the next one grows it, and both write exactly their bytes.
TEST(CIPByteBuffer, FixedWidthAppendsAtTheEdgeOfTheBlockWriteExactlyTheirBytes) {
  for (int width : {1, 2, 4}) {
    CIPByteBuffer b;
    b.appendBytes0(512 - width);
    const unsigned char* block = b.getBuffer();
    auto append = [&b, width](int v) {
      if (width == 1) b.appendByte(static_cast<unsigned char>(v));
      if (width == 2) b.appendShort(static_cast<short>(v));
      if (width == 4) b.appendInt(v);
    };
    append(0x0A0B0C0D);
    EXPECT_EQ(block, b.getBuffer()) << "width " << width << " fits the block exactly";
    append(0x01020304);
    EXPECT_NE(block, b.getBuffer()) << "width " << width << " needs a larger block";
    ASSERT_EQ(512u + static_cast<unsigned int>(width), b.getLength());
    const std::string tail = hexOf(b).substr(3 * (512 - width));
    const char* expected[] = {"", "0D 04", "0C 0D 03 04", "", "0A 0B 0C 0D 01 02 03 04"};
    EXPECT_EQ(expected[width], tail) << "width " << width;
  }
}

}  // namespace

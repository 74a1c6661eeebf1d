#include "orvelpdu/tlv/TLVFrame.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVString.h"
#include "support/FailingNew.h"
#include "support/Hex.h"

namespace {

using orvelpdu::parseTLVFrame;
using orvelpdu::TLVFrameHead;
using orvelpdu::TLVFrameResult;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;

// A TLV whose value parser records where its bytes lay and what it saw, and can refuse or
// throw on demand.
class WatchingTLV : public CTLV {
 public:
  WatchingTLV() = default;
  WatchingTLV(int min, int max) : CTLV(min, max) {}
  int setValueData(CIPByteBuffer& buffer) override {
    ++calls;
    // Through the read-only view: the writable getBuffer() would take a copy of lent bytes.
    seenAt = std::as_const(buffer).getBuffer();
    seen = hexOf(buffer);
    if (throwing) throw std::bad_alloc();
    if (refusing) return 0;
    markValueSet();
    return 1;
  }
  int getValueData(CIPByteBuffer&) override { return 1; }

  int calls = 0;
  const unsigned char* seenAt = nullptr;
  std::string seen;
  bool refusing = false;
  bool throwing = false;
};

TEST(TLVFrame, PeekReadsTagAndLengthAtAnOffsetWithoutConsuming) {
  const CIPByteBuffer in = bufferFromHex("AA FF FE 80 00 01");
  TLVFrameHead head;
  ASSERT_TRUE(orvelpdu::peekTLVFrame(in, 1, head));
  EXPECT_EQ(-2, head.tag);
  EXPECT_EQ(32768, head.length);  // unsigned: 80 00 is not negative
  EXPECT_EQ(32772u, head.frameSize());
  EXPECT_EQ(6u, in.getLength());
  for (unsigned int offset = 3; offset <= 7; ++offset) {
    TLVFrameHead other;
    other.tag = 5;
    EXPECT_FALSE(orvelpdu::peekTLVFrame(in, offset, other)) << offset;
    EXPECT_EQ(5, other.tag);
  }
  EXPECT_FALSE(orvelpdu::peekTLVFrame(in, 0xFFFFFFFFu, head));
}

TEST(TLVFrame, AFrameCutAtEveryByteIsRefusedWithNothingConsumed) {
  // An int TLV 01 03 with value 86400, then another frame's first bytes.
  const CIPByteBuffer whole = bufferFromHex("01 03 00 04 00 01 51 80");
  for (int n = 0; n < 8; ++n) {
    CIPByteBuffer cut;
    whole.readBytes(n, cut);
    const std::string before = hexOf(cut);
    CTLVInt tlv(0x0777, 5);
    EXPECT_EQ(TLVFrameResult::kCutShort, parseTLVFrame(cut, tlv)) << n;
    EXPECT_FALSE(orvelpdu::holdsTLVFrame(cut)) << n;
    EXPECT_FALSE(orvelpdu::skipTLVFrame(cut)) << n;
    EXPECT_EQ(before, hexOf(cut)) << n;
    EXPECT_EQ(0x0777, tlv.getTag());
    EXPECT_EQ(5, tlv.getValue());
  }
  CIPByteBuffer in = whole;
  in.appendByte(0xEE);
  CTLVInt tlv;
  ASSERT_TRUE(orvelpdu::holdsTLVFrame(in));
  EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, tlv));
  EXPECT_EQ(0x0103, tlv.getTag());
  EXPECT_EQ(86400, tlv.getValue());
  EXPECT_EQ("EE", hexOf(in));
}

TEST(TLVFrame, ATypeThatRefusesItsValueLeavesItsOldValueAndTheFrameIsConsumed) {
  // Three bytes for an int: whole, but not an int's value.
  CIPByteBuffer in = bufferFromHex("01 03 00 03 01 02 03  01 01 00 02 00 2A");
  CTLVInt expiry(0x0103, 9);
  EXPECT_EQ(TLVFrameResult::kRefused, parseTLVFrame(in, expiry));
  EXPECT_EQ(9, expiry.getValue());
  EXPECT_EQ(1, expiry.hasValue());
  EXPECT_EQ("01 01 00 02 00 2A", hexOf(in));

  CTLVInt fresh;
  CIPByteBuffer again = bufferFromHex("01 03 00 02 00 2A");
  EXPECT_EQ(TLVFrameResult::kRefused, parseTLVFrame(again, fresh));
  EXPECT_EQ(0, fresh.hasValue());
  EXPECT_EQ(0x0103, fresh.getTag());  // the tag is taken as CTLV::setData takes it
  EXPECT_TRUE(again.isEmpty());

  CTLVShort reference;
  EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, reference));
  EXPECT_EQ(42, reference.getValue());
}

TEST(TLVFrame, LengthsOutsideTheTlvsLimitsAreRefusedBeforeItsParserRuns) {
  for (const auto& [hex, result] : std::vector<std::pair<std::string, TLVFrameResult>>{
           {"00 09 00 01 AA", TLVFrameResult::kRefused},
           {"00 09 00 02 AA BB", TLVFrameResult::kTaken},
           {"00 09 00 03 AA BB CC", TLVFrameResult::kTaken},
           {"00 09 00 04 AA BB CC DD", TLVFrameResult::kRefused}}) {
    CIPByteBuffer in = bufferFromHex(hex);
    WatchingTLV tlv(2, 3);
    EXPECT_EQ(result, parseTLVFrame(in, tlv)) << hex;
    EXPECT_EQ(result == TLVFrameResult::kTaken ? 1 : 0, tlv.calls) << hex;
    EXPECT_TRUE(in.isEmpty()) << hex;
  }
}

TEST(TLVFrame, TheValueIsShownWhereItLiesAndExactly) {
  CIPByteBuffer in = bufferFromHex("00 05 00 03 61 62 63 7A");
  const unsigned char* value = in.getBuffer() + 4;
  WatchingTLV tlv;
  EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, tlv));
  EXPECT_EQ(value, tlv.seenAt);
  EXPECT_EQ("61 62 63", tlv.seen);
  EXPECT_EQ("7A", hexOf(in));

  // An empty value: the parser sees an empty buffer, and the flag-only type takes it.
  CIPByteBuffer flag = bufferFromHex("01 06 00 00");
  CTLVEmpty empty;
  EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(flag, empty));
  EXPECT_EQ(1, empty.hasValue());
  EXPECT_TRUE(flag.isEmpty());
}

TEST(TLVFrame, OwningTypesKeepTheirValueAfterTheInputIsGone) {
  CTLVOctets octets;
  CTLVString text;
  {
    CIPByteBuffer in = bufferFromHex("00 01 00 02 05 06  00 02 00 03 61 62 63");
    EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, octets));
    EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, text));
    EXPECT_TRUE(in.isEmpty());
    in.appendBytes0(64);  // reuse the input's storage
  }
  CIPByteBuffer value;
  octets.getValue(value);
  EXPECT_EQ("05 06", hexOf(value));
  CString s;
  text.getValue(s);
  EXPECT_TRUE(s == "abc");
  CIPByteBuffer out;
  ASSERT_EQ(1, octets.getData(out));
  ASSERT_EQ(1, text.getData(out));
  EXPECT_EQ("00 01 00 02 05 06 00 02 00 03 61 62 63", hexOf(out));
}

TEST(TLVFrame, AParserThatThrowsLeavesTheFrameAndTheTag) {
  CIPByteBuffer in = bufferFromHex("00 05 00 01 61");
  WatchingTLV tlv;
  tlv.setTag(7);
  tlv.throwing = true;
  EXPECT_THROW((void)parseTLVFrame(in, tlv), std::bad_alloc);
  EXPECT_EQ("00 05 00 01 61", hexOf(in));
  EXPECT_EQ(7, tlv.getTag());
  tlv.throwing = false;
  EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, tlv));
}

TEST(TLVFrame, SkipRemovesExactlyOneWholeFrame) {
  CIPByteBuffer in = bufferFromHex("77 77 00 03 AA BB CC  01 06 00 00  99");
  ASSERT_TRUE(orvelpdu::skipTLVFrame(in));
  EXPECT_EQ("01 06 00 00 99", hexOf(in));
  ASSERT_TRUE(orvelpdu::skipTLVFrame(in));
  EXPECT_EQ("99", hexOf(in));
  EXPECT_FALSE(orvelpdu::skipTLVFrame(in));
  EXPECT_EQ("99", hexOf(in));
}

TEST(TLVFrame, AStreamOfFramesParsesTheSameWhetherWholeOrGrowingByteByByte) {
  // Frames parsed as bytes arrive, stopping at each cut-short frame, must come out exactly as
  // from the whole input: a refusal of a cut frame consumes nothing, so nothing is lost.
  const std::string wire =
      "01 01 00 02 FF FE  01 05 00 03 05 00 03  01 03 00 03 01 02 03  77 77 00 00"
      "  01 04 00 02 63 62";
  auto run = [](CIPByteBuffer& in, std::vector<std::string>& log) {
    TLVFrameHead head;
    while (orvelpdu::holdsTLVFrame(in)) {
      ASSERT_TRUE(orvelpdu::peekTLVFrame(in, 0, head));
      CTLVOctets tlv;
      if (head.tag == 0x0103) {
        CTLVInt number;
        log.push_back("int " + std::to_string(static_cast<int>(parseTLVFrame(in, number))));
        continue;
      }
      ASSERT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, tlv));
      CIPByteBuffer value;
      tlv.getValue(value);
      log.push_back(std::to_string(tlv.getTag()) + ": " + hexOf(value));
    }
  };
  std::vector<std::string> whole;
  CIPByteBuffer all = bufferFromHex(wire);
  run(all, whole);
  EXPECT_TRUE(all.isEmpty());
  ASSERT_EQ(5u, whole.size());

  const CIPByteBuffer source = bufferFromHex(wire);
  std::vector<std::string> growing;
  CIPByteBuffer in;
  for (unsigned int i = 0; i < source.getLength(); ++i) {
    in.appendByte(source.getBuffer()[i]);
    run(in, growing);
  }
  EXPECT_TRUE(in.isEmpty());
  EXPECT_EQ(whole, growing);
}

}  // namespace

// A value handed over where it lies belongs to the caller: a parser that writes to its buffer
// (appends, or takes the writable pointer) works on a copy, for a frame at the front of a
// buffer and for value bytes lent on their own alike.
class ScribblingTLV : public CTLV {
 public:
  int setValueData(CIPByteBuffer& buffer) override {
    buffer.removeByte();
    buffer.getBuffer()[0] = 0xEE;
    buffer.appendByte(0xEE);
    seen = hexOf(buffer);
    markValueSet();
    return 1;
  }
  int getValueData(CIPByteBuffer&) override { return 1; }
  std::string seen;
};

TEST(TLVFrame, AParserThatWritesToItsValueNeverWritesToTheInput) {
  CIPByteBuffer in = bufferFromHex("0007 0002 AB CD 11");
  ScribblingTLV framed;
  EXPECT_EQ(TLVFrameResult::kTaken, parseTLVFrame(in, framed));
  EXPECT_EQ("EE EE", framed.seen);
  EXPECT_EQ("11", hexOf(in));

  const CIPByteBuffer bytes = bufferFromHex("AB CD 11");
  ScribblingTLV lent;
  EXPECT_EQ(TLVFrameResult::kTaken, orvelpdu::takeTLVValue(lent, 7, bytes.getBuffer(), 2));
  EXPECT_EQ("EE EE", lent.seen);
  EXPECT_EQ("AB CD 11", hexOf(bytes));
}

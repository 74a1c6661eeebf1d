#include "orvelpdu/pdu/HeaderCheck.h"

#include <gtest/gtest.h>

#include "orvelpdu/stream/PDUFramer.h"
#include "orvelpdu/tlv/TLVFrame.h"
#include "support/Hex.h"

namespace {

using orvelpdu::checkHeaderFields;
using orvelpdu::HeaderFields;
using orvelpdu::LengthRule;
using orvelpdu::Outcome;
using orvelpdu::test::bufferFromHex;

TEST(HeaderCheck, AcceptsLengthsFromSixteenToTheBytesHeldByRule) {
  const CIPByteBuffer in =
      bufferFromHex("00000014 80000021 00000003 7FFFFFFF 01020304 EEEE");  // 22 held, length 20
  HeaderFields fields;
  ASSERT_TRUE(checkHeaderFields(in, LengthRule::kWithinHeld, fields).ok());
  EXPECT_EQ(20u, fields.commandLength);
  EXPECT_EQ(0x80000021u, fields.commandId);
  EXPECT_EQ(3u, fields.commandStatus);
  EXPECT_EQ(0x7FFFFFFFu, fields.sequenceNumber);
  EXPECT_EQ(4, fields.fieldsRead);
  const orvelpdu::Result exact = checkHeaderFields(in, LengthRule::kExactlyHeld, fields);
  EXPECT_EQ(Outcome::kLengthMismatch, exact.outcome());
  EXPECT_EQ("command_length", exact.field());
}

// A refused header still gives every whole field, so a negative acknowledgement can carry the
// received sequence number.
TEST(HeaderCheck, RefusalsKeepTheFieldsThatWereWhole) {
  struct Case {
    const char* hex;
    Outcome outcome;
    int fieldsRead;
  } cases[] = {
      {"", Outcome::kCutShort, 0},
      {"00000010 00000021 000000", Outcome::kCutShort, 2},
      {"0000000F 00000021 00000000 00000005", Outcome::kLengthMismatch, 4},
      {"FFFFFFFF 00000021 00000000 00000005", Outcome::kLengthMismatch, 4},
      {"00000011 00000021 00000000 00000005", Outcome::kLengthMismatch, 4},
  };
  for (const auto& c : cases) {
    HeaderFields fields;
    const CIPByteBuffer in = bufferFromHex(c.hex);
    EXPECT_EQ(c.outcome, checkHeaderFields(in, LengthRule::kWithinHeld, fields).outcome()) << c.hex;
    EXPECT_EQ(c.fieldsRead, fields.fieldsRead) << c.hex;
    if (c.fieldsRead == 4) {
      EXPECT_EQ(5u, fields.sequenceNumber) << c.hex;
    }
  }
}

TEST(HeaderCheck, FramerAndTlvFrameResultsMapOntoTheOneVocabulary) {
  orvelpdu::PDUFramer framer(64);
  const unsigned char bad[] = {0x00, 0x00, 0x01, 0x00};
  (void)framer.feed(bad, sizeof bad);
  CIPByteBuffer pdu;
  const auto next = framer.next(pdu);
  const orvelpdu::Result framing = orvelpdu::toResult(framer, next);
  EXPECT_EQ(Outcome::kFramingError, framing.outcome());
  EXPECT_EQ("command_length: framing lost (256 at stream offset 0)", framing.reason());
  EXPECT_TRUE(orvelpdu::toResult(framer, orvelpdu::PDUFramer::Result::kNeedMore).ok());

  EXPECT_TRUE(orvelpdu::toResult(orvelpdu::TLVFrameResult::kTaken, "x").ok());
  EXPECT_EQ("x: cut short", orvelpdu::toResult(orvelpdu::TLVFrameResult::kCutShort, "x").reason());
  EXPECT_EQ(Outcome::kParameterRefused,
            orvelpdu::toResult(orvelpdu::TLVFrameResult::kRefused, "x").outcome());
}

}  // namespace

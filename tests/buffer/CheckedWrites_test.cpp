#include "orvelpdu/buffer/CheckedWrites.h"

#include <gtest/gtest.h>

#include <string>

#include "support/Hex.h"

namespace {

using orvelpdu::Outcome;
using orvelpdu::putCString;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;

TEST(CheckedWrites, PutCStringAppendsTheTextAndOneNulBehindWhatIsHeld) {
  CIPByteBuffer out = bufferFromHex("AA");
  ASSERT_TRUE(putCString(out, std::string_view("ab")).ok());
  const CString empty;
  ASSERT_TRUE(putCString(out, empty).ok());
  EXPECT_EQ("AA 61 62 00 00", hexOf(out));
}

// A text holding a NUL would reach the peer cut at it: refused, nothing appended, the caller's
// string untouched (appendCString(CString&) cuts the caller's string instead).
TEST(CheckedWrites, PutCStringRefusesATextHoldingANulAndLeavesBothAlone) {
  CString text;
  char* chars = text.GetBuffer(3);
  chars[0] = 'a';
  chars[1] = '\0';
  chars[2] = 'b';
  text.ReleaseBuffer(3);
  CIPByteBuffer out = bufferFromHex("AA");
  EXPECT_EQ(Outcome::kNulInside, putCString(out, text).outcome());
  EXPECT_EQ(Outcome::kNulInside, putCString(out, std::string("x\0", 2)).outcome());
  EXPECT_EQ("AA", hexOf(out));
  EXPECT_EQ(3, text.GetLength());
}

}  // namespace

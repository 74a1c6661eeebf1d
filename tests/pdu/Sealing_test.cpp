#include "orvelpdu/pdu/Sealing.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "orvelpdu/base/MemoryRegistry.h"
#include "support/FailingNew.h"
#include "support/Hex.h"
#include "support/TestPdu.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::forEachAllocationFailure;
using orvelpdu::test::hexOf;
using orvelpdu::test::ScopedAllocationFailure;
using orvelpdu::test::TestPdu;

// A PDU whose encoder can fail after writing part of itself, by result or by exception.
class FailingPdu : public TestPdu {
 public:
  int getData(CIPByteBuffer& buffer) override {
    getHeader(buffer);
    buffer.appendBytes0(extra);
    if (throwing) throw std::bad_alloc();
    return result;
  }
  int extra = 0;
  int result = 1;
  bool throwing = false;
};

TestPdu filled() {
  TestPdu pdu;
  pdu.setCommandId(0x21);
  pdu.setSequenceNumber(7);
  pdu.flags = 1;
  pdu.port = 80;
  pdu.amount = -1;
  pdu.name = "abc";
  return pdu;
}

TEST(Sealing, SetsTheCommandLengthInTheBytesAndInThePdu) {
  TestPdu pdu = filled();
  pdu.setCommandLength(999);  // stale: sealing replaces it with what was written
  CIPByteBuffer out = bufferFromHex("AA BB");
  ASSERT_TRUE(orvelpdu::encodeSealed(pdu, out));
  EXPECT_EQ(
      "AA BB 00 00 00 1B 00 00 00 21 00 00 00 00 00 00 00 07 01 00 50 FF FF FF FF 61 62 63 00",
      hexOf(out));
  EXPECT_EQ(TestPdu::wireLength(3), pdu.getCommandLength());

  // The sealed bytes parse back into the same PDU, length included.
  out.removeBytes0(2);
  TestPdu back;
  ASSERT_EQ(1, back.setData(out));
  EXPECT_EQ(27, back.getCommandLength());
  EXPECT_EQ("abc", back.name);
  EXPECT_TRUE(out.isEmpty());
}

TEST(Sealing, APduWithoutABodyIsSealedAtSixteen) {
  // A PDU that had no header yet: the encoding makes it, and sealing reaches it.
  class HeaderOnly : public CPDU {
   public:
    int getData(CIPByteBuffer& b) override { return getHeader(b); }
    int setData(CIPByteBuffer& b) override { return setHeader(b); }
  } pdu;
  CIPByteBuffer out;
  ASSERT_TRUE(orvelpdu::encodeSealed(pdu, out));
  EXPECT_EQ("00 00 00 10 00 00 00 00 00 00 00 00 00 00 00 01", hexOf(out));
  EXPECT_EQ(16, pdu.getCommandLength());
}

TEST(Sealing, AFailedEncodingIsCutBackAndLeavesTheLengthAlone) {
  FailingPdu pdu;
  pdu.setCommandLength(5);
  pdu.extra = 10;
  pdu.result = 0;
  CIPByteBuffer out = bufferFromHex("AA");
  EXPECT_FALSE(orvelpdu::encodeSealed(pdu, out));
  EXPECT_EQ("AA", hexOf(out));
  EXPECT_EQ(5, pdu.getCommandLength());

  pdu.result = 1;
  pdu.throwing = true;
  EXPECT_THROW((void)orvelpdu::encodeSealed(pdu, out), std::bad_alloc);
  EXPECT_EQ("AA", hexOf(out));
  EXPECT_EQ(5, pdu.getCommandLength());

  // Fewer than 16 bytes hold no header to seal.
  CIPByteBuffer shortOut = bufferFromHex("AA");
  for (int written : {0, 4, 15}) {
    CIPByteBuffer raw = bufferFromHex("AA");
    raw.appendBytes0(written);
    EXPECT_FALSE(orvelpdu::sealCommandLength(pdu, raw, 1)) << written;
    EXPECT_EQ(static_cast<unsigned int>(1 + written), raw.getLength());
  }
  EXPECT_FALSE(orvelpdu::sealCommandLength(pdu, shortOut, 5));  // start past the end
  EXPECT_EQ(5, pdu.getCommandLength());
}

TEST(Sealing, EncodesInPlaceWithoutAScratchBuffer) {
  // Into a buffer with room to spare, sealing allocates nothing: the PDU is written once.
  TestPdu pdu = filled();
  CIPByteBuffer out;
  out.appendBytes0(64);
  out.resize(1);
  const long before = orvelpdu::test::allocationCount();
  ASSERT_TRUE(orvelpdu::encodeSealed(pdu, out));
  EXPECT_EQ(before, orvelpdu::test::allocationCount());
  EXPECT_EQ(28u, out.getLength());
}

TEST(Sealing, AllocationFailureAtEveryStepLeavesTheBufferAndRegistryAsTheyWere) {
  const int registered = _CountMemory();
  const long fired = forEachAllocationFailure([](long k) {
    // A fresh PDU has no header yet: creating it is one of the allocations that can fail.
    TestPdu pdu;
    pdu.name = "a name long enough to need storage of its own";
    // A copy's block holds exactly its bytes, so the encoding has to grow it.
    const CIPByteBuffer one = bufferFromHex("AA");
    CIPByteBuffer out = one;
    ScopedAllocationFailure failure(k);
    try {
      EXPECT_TRUE(orvelpdu::encodeSealed(pdu, out));
    } catch (const std::bad_alloc&) {
      EXPECT_EQ("AA", hexOf(out)) << k;
      return true;
    }
    EXPECT_EQ(static_cast<unsigned int>(1 + TestPdu::wireLength(45)), out.getLength());
    return failure.fired();
  });
  EXPECT_GE(fired, 2);
  EXPECT_EQ(registered, _CountMemory());
}

}  // namespace

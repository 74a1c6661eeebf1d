#include "orvelpdu/tlv/CTLVOctets.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "support/FailingNew.h"
#include "support/Hex.h"

namespace {

using orvelpdu::test::ArmedOutcome;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::forEachAllocationFailure;
using orvelpdu::test::hexOf;
using orvelpdu::test::runWithAllocationFailure;

std::string valueOf(const CTLVOctets& tlv) {
  CIPByteBuffer out;
  tlv.getValue(out);
  return hexOf(out);
}

std::string encoded(CTLVOctets& tlv) {
  CIPByteBuffer out;
  tlv.getData(out);
  return hexOf(out);
}

TEST(CTLVOctets, ConstructorCopiesCallersBytes) {
  CIPByteBuffer bytes = bufferFromHex("01 02 03");
  CTLVOctets tlv(4, bytes);
  EXPECT_EQ("00 04 00 03 01 02 03", encoded(tlv));
  EXPECT_EQ("01 02 03", hexOf(bytes));
}

TEST(CTLVOctets, EmptyBufferGivenToConstructorIsStillAValue) {
  CTLVOctets tlv(4, 2, 3, CIPByteBuffer());
  EXPECT_EQ(1, tlv.hasValue());
  EXPECT_EQ("00 04 00 00", encoded(tlv));
}

TEST(CTLVOctets, SetValueMovesBytesAndEmptyBufferKeepsPrevious) {
  CTLVOctets tlv(4);
  CIPByteBuffer first = bufferFromHex("0A 0B");
  tlv.setValue(first);
  EXPECT_EQ(0u, first.getLength());
  CIPByteBuffer none;
  tlv.setValue(none);
  EXPECT_EQ("0A 0B", valueOf(tlv));
  EXPECT_EQ(1, tlv.hasValue());

  CTLVOctets fresh(5);
  fresh.setValue(none);
  EXPECT_EQ(1, fresh.hasValue());
  EXPECT_EQ("00 05 00 00", encoded(fresh));
}

TEST(CTLVOctets, GetValueWithoutValueLeavesOutputAlone) {
  CTLVOctets tlv(4);
  CIPByteBuffer out = bufferFromHex("EE");
  tlv.getValue(out);
  EXPECT_EQ("EE", hexOf(out));
}

TEST(CTLVOctets, AppendedAfterOtherDataKeepsIt) {
  CTLVOctets tlv(4, bufferFromHex("01"));
  CIPByteBuffer out = bufferFromHex("AA");
  EXPECT_EQ(1, tlv.getData(out));
  EXPECT_EQ("AA 00 04 00 01 01", hexOf(out));
}

TEST(CTLVOctets, EmptyValueParsesAsSet) {
  CIPByteBuffer wire = bufferFromHex("00 04 00 00");
  CTLVOctets parsed;
  EXPECT_EQ(1, parsed.setData(wire));
  EXPECT_EQ(1, parsed.hasValue());
  EXPECT_EQ(0, parsed.getLength());
  EXPECT_EQ("00 04 00 00", encoded(parsed));
}

TEST(CTLVOctets, LimitsAreCarriedNotEnforced) {
  CTLVOctets tlv(4, 1, 2, bufferFromHex("01 02 03"));
  EXPECT_EQ(0, tlv.checkLength(tlv.getLength()));
  EXPECT_EQ(1, tlv.checkLength(2));
  CIPByteBuffer four = bufferFromHex("01 02 03 04");
  EXPECT_EQ(1, tlv.setValueData(four));
  EXPECT_EQ("01 02 03 04", valueOf(tlv));
}

TEST(CTLVOctets, LimitsWithoutAValueLeaveTheTlvUnset) {
  CTLVOctets tlv(4, 1, 2);
  EXPECT_EQ(4, tlv.getTag());
  EXPECT_EQ(0, tlv.hasValue());
  EXPECT_EQ(0, tlv.checkLength(3));
  EXPECT_EQ(1, tlv.checkLength(1));
  CIPByteBuffer out;
  EXPECT_EQ(0, tlv.getData(out));
  EXPECT_EQ("", hexOf(out));
}

TEST(CTLVOctets, CopiesAreDeepAndOutliveTheirSource) {
  auto source = std::make_unique<CTLVOctets>(4, 1, 8, bufferFromHex("01 02"));
  CTLVOctets copied(*source);
  CTLVOctets assigned(9, bufferFromHex("FF FF FF"));
  assigned = *source;

  CIPByteBuffer replacement = bufferFromHex("03");
  copied.setValue(replacement);
  EXPECT_EQ("01 02", valueOf(*source));
  source.reset();

  EXPECT_EQ("03", valueOf(copied));
  EXPECT_EQ("00 04 00 02 01 02", encoded(assigned));
  EXPECT_EQ(0, assigned.checkLength(9));
  EXPECT_EQ(1, assigned.checkLength(8));

  CTLVOctets withoutValue(6);
  assigned = withoutValue;
  EXPECT_EQ(0, assigned.hasValue());
  EXPECT_EQ("", encoded(assigned));
}

// Under every allocation failure, setValue / setValueData leave the value, the flag and the
// source bytes exactly as they were.
template <class Call>
void expectFailureLeavesObjectAlone(bool startWithValue, Call call) {
  long failures = forEachAllocationFailure([&](long k) {
    CTLVOctets tlv(4);
    if (startWithValue) {
      CIPByteBuffer old = bufferFromHex("0A 0B");
      tlv.setValue(old);
    }
    // Adopted, so the buffer does not know its block's size and cannot hand it over: the
    // bytes must be copied, and that copy is what fails.
    auto* block = static_cast<unsigned char*>(::operator new(3));
    block[0] = 0x01;
    block[1] = 0x02;
    block[2] = 0x03;
    CIPByteBuffer bytes(block, 3);
    const ArmedOutcome run = runWithAllocationFailure(k, [&] { call(tlv, bytes); });
    if (run.caught) {
      EXPECT_EQ(startWithValue ? 1 : 0, tlv.hasValue()) << "allocation " << k;
      EXPECT_EQ(startWithValue ? "0A 0B" : "", valueOf(tlv)) << "allocation " << k;
      EXPECT_EQ("01 02 03", hexOf(bytes)) << "allocation " << k;
    } else {
      EXPECT_EQ("01 02 03", valueOf(tlv));
      EXPECT_EQ(1, tlv.hasValue());
      EXPECT_EQ("", hexOf(bytes));
    }
    return run.fired;
  });
  EXPECT_GT(failures, 0);
}

TEST(CTLVOctets, SetValueTakesOverTheBlockASourceMadeWithoutCopying) {
  CIPByteBuffer bytes = bufferFromHex("01 02 03");
  const unsigned char* block = bytes.getBuffer();
  CTLVOctets tlv(4, bufferFromHex("0A"));
  const long before = orvelpdu::test::allocationCount();
  tlv.setValue(bytes);
  EXPECT_EQ(before, orvelpdu::test::allocationCount());
  EXPECT_EQ("01 02 03", valueOf(tlv));
  EXPECT_EQ(nullptr, bytes.getBuffer());
  CIPByteBuffer out;
  tlv.getValue(out);
  EXPECT_EQ("01 02 03", hexOf(out));
  EXPECT_NE(block, out.getBuffer()) << "getValue hands out a copy";
}

TEST(CTLVOctets, AllocationFailureInSetValueKeepsFlagAndValue) {
  for (bool startWithValue : {false, true}) {
    expectFailureLeavesObjectAlone(startWithValue,
                                   [](CTLVOctets& t, CIPByteBuffer& b) { t.setValue(b); });
    expectFailureLeavesObjectAlone(startWithValue,
                                   [](CTLVOctets& t, CIPByteBuffer& b) { t.setValueData(b); });
  }
}

}  // namespace

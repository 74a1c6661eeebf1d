#include "orvelpdu/pdu/CPDUHeader.h"

#include <gtest/gtest.h>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "support/Hex.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;

constexpr int kFill = static_cast<int>(0xCDCDCDCDu);

void expectFields(CPDUHeader& header, int length, int id, int status, int sequence) {
  EXPECT_EQ(length, header.getCommandLength());
  EXPECT_EQ(id, header.getCommandId());
  EXPECT_EQ(status, header.getCommandStatus());
  EXPECT_EQ(sequence, header.getSequenceNumber());
}

CPDUHeader makeHeader(int length, int id, int status, int sequence) {
  CPDUHeader header;
  header.setCommandLength(length);
  header.setCommandId(id);
  header.setCommandStatus(status);
  header.setSequenceNumber(sequence);
  return header;
}

TEST(CPDUHeader, DefaultHeaderHoldsZerosAndSequenceOne) {
  CPDUHeader header;
  expectFields(header, 0, 0, 0, 1);
  CIPByteBuffer out;
  EXPECT_EQ(1, header.getData(out));
  EXPECT_EQ("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01", hexOf(out));
}

TEST(CPDUHeader, EncodesFieldsBigEndianAfterExistingBytes) {
  CPDUHeader header = makeHeader(16, -1, 0, 2147483647);
  CIPByteBuffer out = bufferFromHex("AA BB");
  EXPECT_EQ(1, header.getData(out));
  EXPECT_EQ("AA BB 00 00 00 10 FF FF FF FF 00 00 00 00 7F FF FF FF", hexOf(out));
}

TEST(CPDUHeader, RoundTripKeepsEveryValueNegativeOnesIncluded) {
  CPDUHeader source = makeHeader(-2147483647 - 1, -1, -842150451, -77);
  CIPByteBuffer wire;
  source.getData(wire);
  CPDUHeader parsed;
  EXPECT_EQ(1, parsed.setData(wire));
  expectFields(parsed, -2147483647 - 1, -1, -842150451, -77);
  EXPECT_EQ(0u, wire.getLength());
}

TEST(CPDUHeader, ParseTakesSixteenBytesAndLeavesTheRestForTheBody) {
  CIPByteBuffer in = bufferFromHex("00 00 00 14 80 00 00 04 00 00 00 08 00 00 01 00  DE AD BE EF");
  CPDUHeader header;
  EXPECT_EQ(1, header.setData(in));
  expectFields(header, 20, static_cast<int>(0x80000004u), 8, 256);
  EXPECT_EQ("DE AD BE EF", hexOf(in));
}

TEST(CPDUHeader, ParseOfShortBufferFillsMissingFieldsAndEmptiesIt) {
  CIPByteBuffer ten = bufferFromHex("00 00 00 10 00 00 00 02 12 34");
  CPDUHeader header = makeHeader(5, 6, 7, 8);
  EXPECT_EQ(1, header.setData(ten));
  expectFields(header, 16, 2, kFill, kFill);
  EXPECT_EQ(0u, ten.getLength());

  CIPByteBuffer empty;
  EXPECT_EQ(1, header.setData(empty));
  expectFields(header, kFill, kFill, kFill, kFill);
  EXPECT_EQ(0u, empty.getLength());
}

TEST(CPDUHeader, CopiesAreIndependentValues) {
  CPDUHeader source = makeHeader(1, 2, 3, 4);
  CPDUHeader constructed(source);
  CPDUHeader assigned;
  assigned = source;
  source.setCommandId(99);
  constructed.setCommandStatus(98);
  assigned.setSequenceNumber(97);
  expectFields(source, 1, 99, 3, 4);
  expectFields(constructed, 1, 2, 98, 4);
  expectFields(assigned, 1, 2, 3, 97);

  CPDUHeader& alias = assigned;
  assigned = alias;
  expectFields(assigned, 1, 2, 3, 97);
}

// A derived header decides what is encoded through the virtual getters, while parsing
// stores the wire values as they are, bypassing its setters.
class ClampingHeader : public CPDUHeader {
 public:
  int getCommandStatus() override { return 0x0BADF00D; }
  void setCommandId(int) override { ++setterCalls; }
  int setterCalls = 0;
};

TEST(CPDUHeader, EncodingUsesVirtualGettersAndParsingBypassesSetters) {
  ClampingHeader header;
  CIPByteBuffer out;
  header.getData(out);
  EXPECT_EQ("00 00 00 00 00 00 00 00 0B AD F0 0D 00 00 00 01", hexOf(out));

  CIPByteBuffer in = bufferFromHex("00 00 00 01 00 00 00 02 00 00 00 03 00 00 00 04");
  header.setData(in);
  EXPECT_EQ(0, header.setterCalls);
  EXPECT_EQ(2, header.CPDUHeader::getCommandId());
  EXPECT_EQ(3, header.CPDUHeader::getCommandStatus());
}

}  // namespace

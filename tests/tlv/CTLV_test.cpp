#include "orvelpdu/tlv/CTLV.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/tlv/CTLVByte.h"
#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVString.h"
#include "orvelpdu/tlv/CTLVUByte.h"
#include "support/FailingNew.h"
#include "support/Hex.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::bufferOf;
using orvelpdu::test::forEachAllocationFailure;
using orvelpdu::test::hexOf;
using orvelpdu::test::runWithAllocationFailure;

constexpr short kFillTag = -12851;  // 0xCDCD, what removeShort yields on a short buffer

// A TLV whose value bytes are whatever the test gives it; it can also fail half-way through
// writing them, as an allocation failure inside a real value type would.
class ScriptedTLV : public CTLV {
 public:
  ScriptedTLV() = default;
  ScriptedTLV(int min, int max) : CTLV(min, max) {}
  explicit ScriptedTLV(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {
    markValueSet();
  }

  int setValueData(CIPByteBuffer& buffer) override {
    const unsigned char* p = buffer.getBuffer();
    bytes_.assign(p, p + buffer.getLength());
    markValueSet();
    return 1;
  }
  int getValueData(CIPByteBuffer& buffer) override {
    buffer.appendBytes(bytes_.data(), static_cast<int>(bytes_.size()));
    if (throwAfterWriting_) throw std::bad_alloc();
    return 1;
  }

  std::vector<unsigned char> bytes_;
  bool throwAfterWriting_ = false;
};

// A TLV whose value parser works its scratch buffer hard: it records what it was handed, then
// removes a byte, scribbles over what it sees, appends past the value and parses again; or it
// throws, as an allocation failure inside a real value type would.
class ReshapingTLV : public CTLV {
 public:
  int setValueData(CIPByteBuffer& buffer) override {
    handed_ = hexOf(buffer);
    handedBlock_ = buffer.getBuffer();
    if (throwWhenHanded_) throw std::bad_alloc();
    if (buffer.isEmpty()) return 0;
    buffer.removeByte();
    if (!buffer.isEmpty()) std::memset(buffer.getBuffer(), 0x55, buffer.getLength());
    for (int i = 0; i < 100; ++i) buffer.appendByte(0x77);
    reshaped_ = hexOf(buffer);
    markValueSet();
    return 1;
  }
  int getValueData(CIPByteBuffer& /*buffer*/) override { return 1; }

  std::string handed_;
  const unsigned char* handedBlock_ = nullptr;
  std::string reshaped_;
  bool throwWhenHanded_ = false;
};

std::vector<unsigned char> pattern(int n) {
  std::vector<unsigned char> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = static_cast<unsigned char>(i % 251);
  return v;
}

// A buffer whose block is exactly as large as its bytes, so that AddressSanitizer flags any
// read past the held bytes.
std::unique_ptr<CIPByteBuffer> exactBuffer(const std::vector<unsigned char>& bytes) {
  const int n = static_cast<int>(bytes.size());
  unsigned char* block = nullptr;
  if (n > 0) {
    block = static_cast<unsigned char*>(::operator new(bytes.size()));
    std::memcpy(block, bytes.data(), bytes.size());
  }
  return std::make_unique<CIPByteBuffer>(block, n);
}

std::string hexOfBytes(const CIPByteBuffer& b, unsigned int from, unsigned int count) {
  const unsigned char* p = b.getBuffer() + from;
  return hexOf(std::vector<unsigned char>(p, p + count));
}

// One object of each of the seven types, all without a value.
std::vector<std::unique_ptr<CTLV>> oneOfEachWithoutValue() {
  std::vector<std::unique_ptr<CTLV>> all;
  all.push_back(std::make_unique<CTLVByte>(1));
  all.push_back(std::make_unique<CTLVUByte>(2));
  all.push_back(std::make_unique<CTLVShort>(3));
  all.push_back(std::make_unique<CTLVInt>(4));
  all.push_back(std::make_unique<CTLVEmpty>(5));
  all.push_back(std::make_unique<CTLVOctets>(6));
  all.push_back(std::make_unique<CTLVString>(7));
  return all;
}

TEST(CTLV, WithoutValueEveryTypeWritesNothingAndReturnsZero) {
  for (auto& tlv : oneOfEachWithoutValue()) {
    CIPByteBuffer out = bufferFromHex("AA");
    EXPECT_EQ(0, tlv->getData(out)) << tlv->getTag();
    EXPECT_EQ("AA", hexOf(out)) << tlv->getTag();
    EXPECT_EQ(0, tlv->getLength()) << tlv->getTag();
  }
}

TEST(CTLV, LengthFieldCarriesUnsignedLengths) {
  ScriptedTLV v300(pattern(300));
  v300.setTag(0x0204);
  CIPByteBuffer out;
  ASSERT_EQ(1, v300.getData(out));
  ASSERT_EQ(304u, out.getLength());
  EXPECT_EQ("02 04 01 2C", hexOfBytes(out, 0, 4));
  EXPECT_EQ(hexOf(pattern(300)), hexOfBytes(out, 4, 300));

  ScriptedTLV v32768(pattern(32768));
  CIPByteBuffer big;
  ASSERT_EQ(1, v32768.getData(big));
  EXPECT_EQ("00 00 80 00", hexOfBytes(big, 0, 4));
  big.appendByte(0xEE);

  ScriptedTLV parsed;
  EXPECT_EQ(1, parsed.setData(big));
  EXPECT_EQ(pattern(32768), parsed.bytes_);
  EXPECT_EQ("EE", hexOf(big));
}

TEST(CTLV, ValueOf65535BytesIsFramedWithLengthFFFF) {
  ScriptedTLV tlv(pattern(65535));
  tlv.setTag(9);
  CIPByteBuffer out = bufferFromHex("AA");
  ASSERT_EQ(1, tlv.getData(out));
  ASSERT_EQ(1u + 4u + 65535u, out.getLength());
  EXPECT_EQ("AA 00 09 FF FF", hexOfBytes(out, 0, 5));
  EXPECT_EQ(0, std::memcmp(out.getBuffer() + 5, pattern(65535).data(), 65535));
}

TEST(CTLV, ValueOver65535BytesIsRefusedAndLeavesBufferUnchanged) {
  CTLVOctets octets(3, bufferOf(pattern(65536)));
  CTLVString text(4, CString(std::string(70000, 'a').c_str()));
  for (CTLV* tlv : std::vector<CTLV*>{&octets, &text}) {
    CIPByteBuffer out = bufferFromHex("AA BB");
    EXPECT_EQ(0, tlv->getData(out));
    EXPECT_EQ("AA BB", hexOf(out));
    EXPECT_EQ(1, tlv->hasValue());
  }
  EXPECT_EQ(65536, octets.getLength());
  EXPECT_EQ(70000, text.getLength());

  // What follows on the wire is untouched by the refusal.
  CIPByteBuffer out;
  EXPECT_EQ(0, octets.getData(out));
  EXPECT_EQ(1, CTLVShort(7, -2).getData(out));
  EXPECT_EQ("00 07 00 02 FF FE", hexOf(out));
}

TEST(CTLV, LengthBeyondHeldBytesTakesWhatRemainsAndEmptiesInput) {
  CIPByteBuffer in = bufferFromHex("00 06 00 10 01 02 03");
  CTLVOctets tlv;
  EXPECT_EQ(1, tlv.setData(in));
  EXPECT_EQ(6, tlv.getTag());
  CIPByteBuffer value;
  tlv.getValue(value);
  EXPECT_EQ("01 02 03", hexOf(value));
  EXPECT_EQ(0u, in.getLength());
}

TEST(CTLV, FrameShorterThanFourBytesReadsFillValuesAndEmptiesInput) {
  // The tag is there, the length is not: it reads as 0xCDCD and the one byte left goes with it.
  CIPByteBuffer threeBytes = bufferFromHex("00 07 01");
  CTLVOctets octets;
  EXPECT_EQ(1, octets.setData(threeBytes));
  EXPECT_EQ(7, octets.getTag());
  EXPECT_EQ(1, octets.hasValue());
  EXPECT_EQ(0, octets.getLength());
  EXPECT_EQ(0u, threeBytes.getLength());

  CIPByteBuffer oneByte = bufferFromHex("07");
  CTLVByte byte;
  EXPECT_EQ(1, byte.setData(oneByte));
  EXPECT_EQ(kFillTag, byte.getTag());
  EXPECT_EQ(0, byte.hasValue());
  EXPECT_EQ(0u, oneByte.getLength());

  CIPByteBuffer none;
  CTLVEmpty empty;
  EXPECT_EQ(1, empty.setData(none));
  EXPECT_EQ(kFillTag, empty.getTag());
  EXPECT_EQ(1, empty.getValue());
}

// Around four bytes, where the frame's fields are read together when the whole head is there
// and one by one when not: every field that is whole keeps its value, the length is unsigned,
// and the bytes after the value stay.
TEST(CTLV, FrameAroundFourBytesKeepsEveryWholeField) {
  CIPByteBuffer tagOnly = bufferFromHex("82 06");
  CTLVOctets cut;
  EXPECT_EQ(1, cut.setData(tagOnly));
  EXPECT_EQ(static_cast<short>(0x8206), cut.getTag());
  EXPECT_EQ(0, cut.getLength());
  EXPECT_EQ(0u, tagOnly.getLength());

  CIPByteBuffer headOnly = bufferFromHex("FF FE 00 00");
  CTLVOctets empty;
  EXPECT_EQ(1, empty.setData(headOnly));
  EXPECT_EQ(static_cast<short>(0xFFFE), empty.getTag());
  EXPECT_EQ(1, empty.hasValue());
  EXPECT_EQ(0, empty.getLength());
  EXPECT_EQ(0u, headOnly.getLength());

  CIPByteBuffer longLength = bufferFromHex("00 06 FF FF 01 02");
  CTLVOctets rest;
  EXPECT_EQ(1, rest.setData(longLength));
  CIPByteBuffer value;
  rest.getValue(value);
  EXPECT_EQ("01 02", hexOf(value)) << "a length of 65,535 takes what remains";
  EXPECT_EQ(0u, longLength.getLength());

  CIPByteBuffer followed = bufferFromHex("80 01 00 01 2A 01 02");
  CTLVByte byte;
  EXPECT_EQ(1, byte.setData(followed));
  EXPECT_EQ(static_cast<short>(0x8001), byte.getTag());
  EXPECT_EQ(0x2A, byte.getValue());
  EXPECT_EQ("01 02", hexOf(followed));

  CIPByteBuffer out;
  EXPECT_EQ(1, byte.getData(out));
  EXPECT_EQ("80 01 00 01 2A", hexOf(out)) << "a negative tag is written as its bit pattern";
}

TEST(CTLV, ValueParserMayReshapeItsScratchWithoutTouchingWhatFollows) {
  // Exactly sized, so that AddressSanitizer sees any access past the input.
  auto in = exactBuffer({0x00, 0x09, 0x00, 0x03, 0x01, 0x02, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xEE});
  ReshapingTLV first;
  EXPECT_EQ(1, first.setData(*in));
  EXPECT_EQ("01 02 03", first.handed_);
  std::string expected = "55 55";
  for (int i = 0; i < 100; ++i) expected += " 77";
  EXPECT_EQ(expected, first.reshaped_);
  EXPECT_EQ(9, first.getTag());
  EXPECT_EQ("00 0A 00 01 EE", hexOf(*in));

  ReshapingTLV second;
  EXPECT_EQ(1, second.setData(*in));
  EXPECT_EQ("EE", second.handed_);
  EXPECT_EQ(10, second.getTag());
  EXPECT_EQ(0u, in->getLength());
}

TEST(CTLV, EmptyValueReachesTheParserAsABufferWithoutBytes) {
  CIPByteBuffer in = bufferFromHex("00 09 00 00 AB");
  ReshapingTLV tlv;
  EXPECT_EQ(1, tlv.setData(in));
  EXPECT_EQ("", tlv.handed_);
  EXPECT_EQ(nullptr, tlv.handedBlock_);
  EXPECT_EQ(0, tlv.hasValue());
  EXPECT_EQ("AB", hexOf(in));
}

TEST(CTLV, ValueParserThatThrowsStillConsumesTheValueAndKeepsTheTag) {
  CIPByteBuffer in = bufferFromHex("00 09 00 02 01 02 00 0A");
  ReshapingTLV tlv;
  tlv.setTag(4);
  tlv.throwWhenHanded_ = true;
  EXPECT_THROW(tlv.setData(in), std::bad_alloc);
  EXPECT_EQ("01 02", tlv.handed_);
  EXPECT_EQ(4, tlv.getTag());
  EXPECT_EQ("00 0A", hexOf(in));

  CIPByteBuffer shortValue = bufferFromHex("00 09 00 05 01 02");
  EXPECT_THROW(tlv.setData(shortValue), std::bad_alloc);
  EXPECT_EQ("01 02", tlv.handed_);
  EXPECT_EQ(nullptr, shortValue.getBuffer());
}

TEST(CTLV, TagIsTakenEvenWhenValueIsRefused) {
  CTLVInt tlv(1, 5);
  CIPByteBuffer in = bufferFromHex("00 09 00 03 01 02 03 AA");
  EXPECT_EQ(1, tlv.setData(in));
  EXPECT_EQ(9, tlv.getTag());
  EXPECT_EQ(5, tlv.getValue());
  EXPECT_EQ(1, tlv.hasValue());
  EXPECT_EQ("AA", hexOf(in));
}

TEST(CTLV, TagIsBitPatternBothWays) {
  CTLVByte tlv(0, 1);
  tlv.setTag(-1);
  CIPByteBuffer out;
  ASSERT_EQ(1, tlv.getData(out));
  EXPECT_EQ("FF FF 00 01 01", hexOf(out));
  CTLVByte parsed;
  parsed.setData(out);
  EXPECT_EQ(-1, parsed.getTag());
}

TEST(CTLV, EqualsComparesTagsOnly) {
  CTLVByte byte(7, 1);
  CTLVString text(7);
  CTLVString other(8);
  EXPECT_EQ(0, byte.equals(nullptr));
  EXPECT_EQ(1, byte.equals(&text));
  EXPECT_EQ(1, text.equals(&byte));
  EXPECT_EQ(0, text.equals(&other));
}

TEST(CTLV, CheckLengthWithAndWithoutLimits) {
  ScriptedTLV unlimited;
  EXPECT_EQ(1, unlimited.checkLength(0));
  EXPECT_EQ(1, unlimited.checkLength(INT_MAX));
  EXPECT_EQ(0, unlimited.checkLength(-1));
  EXPECT_EQ(0, CTLV::checkLength(-1, -1, 0));
  EXPECT_EQ(1, CTLV::checkLength(-1, -1, -1));

  ScriptedTLV limited(5, 10);
  EXPECT_EQ(0, limited.getTag());
  EXPECT_EQ(0, limited.hasValue());
  EXPECT_EQ(0, limited.checkLength(4));
  EXPECT_EQ(1, limited.checkLength(5));
  EXPECT_EQ(1, limited.checkLength(10));
  EXPECT_EQ(0, limited.checkLength(11));
  CIPByteBuffer six = bufferOf(pattern(6));
  EXPECT_EQ(1, limited.checkLength(six));
  EXPECT_EQ(0, CTLV::checkLength(7, 8, six));
}

TEST(CTLV, AssignmentFromObjectWithoutValueClearsFlag) {
  CTLVInt target(3, 42);
  const CTLVInt source(4);
  target = source;
  EXPECT_EQ(0, target.hasValue());
  EXPECT_EQ(4, target.getTag());
  CIPByteBuffer out;
  EXPECT_EQ(0, target.getData(out));
}

TEST(CTLV, TlvsOfEveryTypeAfterBodyParseBackInOrder) {
  CIPByteBuffer wire = bufferFromHex("DE AD BE EF");
  CTLVUByte ubyte(0x10);
  ubyte.setValue(200);
  CTLVString text(0x11, CString("hello"));
  CTLVOctets octets(0x12, bufferFromHex("00 01 02"));
  CTLVInt absent(0x13);
  CTLVEmpty flag(0x14, 0);
  CTLVShort shortValue(0x15, -300);
  CTLVInt intValue(0x16, -5);
  CTLVByte byte(0x17, 0x80);
  for (CTLV* tlv :
       std::vector<CTLV*>{&ubyte, &text, &octets, &absent, &flag, &shortValue, &intValue, &byte}) {
    tlv->getData(wire);
  }
  EXPECT_EQ(
      "DE AD BE EF 00 10 00 01 C8 00 11 00 05 68 65 6C 6C 6F 00 12 00 03 00 01 02 "
      "00 14 00 00 00 15 00 02 FE D4 00 16 00 04 FF FF FF FB 00 17 00 01 80",
      hexOf(wire));

  EXPECT_EQ(static_cast<int>(0xDEADBEEF), wire.removeInt());
  CTLVUByte ubyteIn;
  CTLVString textIn;
  CTLVOctets octetsIn;
  CTLVEmpty flagIn;
  CTLVShort shortIn;
  CTLVInt intIn;
  CTLVByte byteIn;
  for (CTLV* tlv :
       std::vector<CTLV*>{&ubyteIn, &textIn, &octetsIn, &flagIn, &shortIn, &intIn, &byteIn}) {
    EXPECT_EQ(1, tlv->setData(wire));
    EXPECT_EQ(1, tlv->hasValue());
  }
  EXPECT_EQ(0u, wire.getLength());
  EXPECT_EQ(200, ubyteIn.getValue());
  CString s;
  textIn.getValue(s);
  EXPECT_TRUE(s == "hello");
  CIPByteBuffer bytes;
  octetsIn.getValue(bytes);
  EXPECT_EQ("00 01 02", hexOf(bytes));
  EXPECT_EQ(0x14, flagIn.getTag());
  EXPECT_EQ(-300, shortIn.getValue());
  EXPECT_EQ(-5, intIn.getValue());
  EXPECT_EQ(0x80, byteIn.getValue());
  EXPECT_EQ(0x17, byteIn.getTag());
}

// Encodes `tlv`, parses the bytes into `parsed` and checks that the frame survives whole.
void expectFrameRoundTrip(CTLV& tlv, CTLV& parsed) {
  CIPByteBuffer wire;
  ASSERT_EQ(1, tlv.getData(wire));
  EXPECT_EQ(static_cast<unsigned int>(4 + tlv.getLength()), wire.getLength());
  EXPECT_EQ(1, parsed.setData(wire));
  EXPECT_EQ(tlv.getTag(), parsed.getTag());
  EXPECT_EQ(1, parsed.hasValue());
  EXPECT_EQ(tlv.getLength(), parsed.getLength());
  EXPECT_EQ(0u, wire.getLength());
}

TEST(CTLV, EveryTypeMakesRoundTripWithTagValueAndFlag) {
  CTLVByte byte(-2, 0xFE), byteIn;
  expectFrameRoundTrip(byte, byteIn);
  EXPECT_EQ(0xFE, byteIn.getValue());

  CTLVUByte ubyte(0x7FFF), ubyteIn;
  ubyte.setValue(255);
  expectFrameRoundTrip(ubyte, ubyteIn);
  EXPECT_EQ(255, ubyteIn.getValue());

  CTLVShort shortValue(1, SHRT_MIN), shortIn;
  expectFrameRoundTrip(shortValue, shortIn);
  EXPECT_EQ(SHRT_MIN, shortIn.getValue());

  CTLVInt intValue(2, INT_MIN), intIn;
  expectFrameRoundTrip(intValue, intIn);
  EXPECT_EQ(INT_MIN, intIn.getValue());

  CTLVEmpty flag(3, 1), flagIn;
  expectFrameRoundTrip(flag, flagIn);
  EXPECT_EQ(1, flagIn.getValue());

  CTLVOctets octets(4, bufferFromHex("00 FF 00")), octetsIn;
  expectFrameRoundTrip(octets, octetsIn);
  CIPByteBuffer bytes;
  octetsIn.getValue(bytes);
  EXPECT_EQ("00 FF 00", hexOf(bytes));

  CTLVString text(5, CString("text with spaces")), textIn;
  expectFrameRoundTrip(text, textIn);
  CString s;
  textIn.getValue(s);
  EXPECT_TRUE(s == "text with spaces");
}

// A value writer that takes bytes away instead of appending leaves no frame to patch: the
// TLV refuses to encode and restores what it can, never writing outside the buffer.
class ShrinkingTLV : public CTLV {
 public:
  explicit ShrinkingTLV(int drop) : drop_(drop) { markValueSet(); }
  int setValueData(CIPByteBuffer&) override { return 1; }
  int getValueData(CIPByteBuffer& buffer) override {
    buffer.appendBytes0(-drop_);
    return 1;
  }

 private:
  int drop_;
};

TEST(CTLV, ValueWriterThatRemovesBytesIsRefused) {
  // Dropping part of the frame: the rest of it is taken away again.
  ShrinkingTLV partly(2);
  CIPByteBuffer out = bufferFromHex("AA BB");
  EXPECT_EQ(0, partly.getData(out));
  EXPECT_EQ("AA BB", hexOf(out));
  // Dropping the frame and earlier bytes: nothing of the frame is left to take away.
  ShrinkingTLV beyond(5);
  CIPByteBuffer out2 = bufferFromHex("AA BB");
  EXPECT_EQ(0, beyond.getData(out2));
  EXPECT_EQ("AA", hexOf(out2));
}

TEST(CTLV, ValueWriterFailingHalfwayLeavesOutputUnchanged) {
  ScriptedTLV tlv(pattern(10));
  tlv.throwAfterWriting_ = true;
  CIPByteBuffer out = bufferFromHex("AA BB");
  EXPECT_THROW(tlv.getData(out), std::bad_alloc);
  EXPECT_EQ("AA BB", hexOf(out));
}

TEST(CTLV, AllocationFailureInGetDataLeavesOutputUnchanged) {
  // Prefills around the end of the first block a growing buffer gets (512 bytes), so that the
  // failure lands on the tag, on the length placeholder and on the value (90 bytes) in turn;
  // a buffer without a block, and one whose block is exactly full, need a block at once.
  for (int prefill : {0, 419, 508, 509, 510, 511, 512, 600}) {
    long failures = forEachAllocationFailure([prefill](long k) {
      CIPByteBuffer out = bufferOf(pattern(prefill));
      const std::string before = hexOf(out);
      CTLVOctets tlv(7, bufferOf(pattern(90)));
      int result = -1;
      const bool fired = runWithAllocationFailure(k, [&] { result = tlv.getData(out); }).fired;
      if (result == -1) {
        EXPECT_EQ(before, hexOf(out)) << "prefill " << prefill << ", allocation " << k;
      } else {
        EXPECT_EQ(1, result);
        EXPECT_EQ(before + (prefill > 0 ? " " : "") + "00 07 00 5A " + hexOf(pattern(90)),
                  hexOf(out));
      }
      return fired;
    });
    EXPECT_GT(failures, 0) << "prefill " << prefill;
  }
}

// Parses garbage into each type from a buffer that holds exactly the garbage, and checks the
// frame rules: tag and length from the first four bytes when present, the input consumed up
// to the end of the declared value, and a fixed-width value taken only at its exact width.
TEST(CTLV, ArbitraryFramesParseWithinHeldBytes) {
  std::mt19937 rng(20240611);
  const std::vector<int> widths = {1, 1, 2, 4, -1, -1, -1};  // -1: takes any value length
  for (int round = 0; round < 400; ++round) {
    const int n = static_cast<int>(rng() % 24);
    std::vector<unsigned char> bytes(static_cast<size_t>(n));
    for (auto& b : bytes) b = static_cast<unsigned char>(rng());
    if (n >= 4 && rng() % 2 == 0) {
      bytes[2] = 0;
      bytes[3] = static_cast<unsigned char>(rng() % static_cast<unsigned>(n));
    }
    const int declared = n >= 4 ? (bytes[2] << 8 | bytes[3]) : 0;
    const int valueLength = n >= 4 ? std::min(declared, n - 4) : 0;
    const unsigned int left = n >= 4 ? static_cast<unsigned int>(n - 4 - valueLength) : 0u;
    const short tag = n >= 2 ? static_cast<short>(bytes[0] << 8 | bytes[1]) : kFillTag;

    auto all = oneOfEachWithoutValue();
    for (size_t i = 0; i < all.size(); ++i) {
      auto in = exactBuffer(bytes);
      ASSERT_EQ(1, all[i]->setData(*in));
      EXPECT_EQ(left, in->getLength()) << "type " << i << ", round " << round;
      EXPECT_EQ(tag, all[i]->getTag()) << "type " << i << ", round " << round;
      const int expectValue = widths[i] < 0 || widths[i] == valueLength ? 1 : 0;
      EXPECT_EQ(expectValue, all[i]->hasValue()) << "type " << i << ", round " << round;
    }
  }
}

// A value parser may shorten the buffer it is handed with setLength, but never lengthen it past
// the value bytes: what lies behind them belongs to the next field of the input.
class LengthSettingTLV : public CTLV {
 public:
  int setValueData(CIPByteBuffer& buffer) override {
    buffer.setLength(buffer.getLength() + 5);
    afterGrow_ = hexOf(buffer);
    buffer.setLength(1);
    afterShrink_ = hexOf(buffer);
    markValueSet();
    return 1;
  }
  int getValueData(CIPByteBuffer& /*buffer*/) override { return 1; }

  std::string afterGrow_;
  std::string afterShrink_;
};

TEST(CTLV, ValueParserCannotSetLengthPastTheValueBytes) {
  CIPByteBuffer in = bufferFromHex("00 09 00 02 AA BB  CC DD");
  LengthSettingTLV tlv;
  EXPECT_EQ(1, tlv.setData(in));
  EXPECT_EQ("AA BB", tlv.afterGrow_);
  EXPECT_EQ("AA", tlv.afterShrink_);
  EXPECT_EQ("CC DD", hexOf(in));
}

}  // namespace

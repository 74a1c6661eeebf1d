#include "textmsg/SubmitText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "support/Hex.h"
#include "support/HugeText.h"
#include "textmsg/SubmitTextResp.h"
#include "textmsg/WireHex.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;
using textmsg::Recipient;
using textmsg::SubmitText;
using textmsg::SubmitTextResp;

void fill(SubmitText& pdu) {
  pdu.sender = "ab";
  pdu.recipients.add(Recipient(1, "x"));
  pdu.priority = 3;
  pdu.validitySeconds = 60;
  pdu.text = "hi";
  pdu.setSequenceNumber(5);
}

void setAllOptional(SubmitText& pdu) {
  pdu.reference.setValue(-2);
  pdu.segmentCount.setValue(200);
  pdu.expiry.setValue(86400);
  pdu.callback.setValue(CString("cb"));
  CIPByteBuffer udh = bufferFromHex("05 00 03");
  pdu.userDataHeader.setValue(udh);
  pdu.reportWanted.setValue(0);
  pdu.messageClass.setValue(1);
}

// The wire form of fill(): header, then sender "ab", one recipient (1, "x"), priority 3,
// validity 60, text "hi".
const char* const kBody = "61 62 00  01 01 78 00  03  00 00 00 3C  00 02 68 69";
const char* const kHeader = "00 00 00 21 00 00 00 00 00 00 00 05";

std::string lengthHex(size_t total) {
  CIPByteBuffer b;
  b.appendInt(static_cast<int>(total));
  return hexOf(b);
}

// A whole SubmitText from body hex, with the command length computed.
CIPByteBuffer pduFromBody(const std::string& body) {
  CIPByteBuffer bodyBytes = bufferFromHex(body);
  return bufferFromHex(lengthHex(16 + bodyBytes.getLength()) + " " + kHeader + " " + body);
}

CIPByteBuffer encode(SubmitText& pdu) {
  CIPByteBuffer out;
  EXPECT_EQ(1, pdu.getData(out)) << pdu.result().reason();
  return out;
}

TEST(SubmitText, EncodesBodyThenHeaderWithMatchingLength) {
  SubmitText pdu;
  fill(pdu);
  EXPECT_EQ(hexOf(pduFromBody(kBody)), hexOf(encode(pdu)));
  EXPECT_EQ(32, pdu.getCommandLength());
}

TEST(SubmitText, RoundTripsWithEveryOptionalParameter) {
  SubmitText out;
  fill(out);
  setAllOptional(out);
  CIPByteBuffer wire = encode(out);
  const std::string tlvs =
      "01 01 00 02 FF FE  01 02 00 01 C8  01 03 00 04 00 01 51 80  01 04 00 02 63 62"
      "  01 05 00 03 05 00 03  01 06 00 00  01 07 00 01 01";
  EXPECT_EQ(hexOf(pduFromBody(std::string(kBody) + " " + tlvs)), hexOf(wire));

  SubmitText in;
  ASSERT_EQ(1, in.setData(wire)) << in.result().reason();
  EXPECT_TRUE(wire.isEmpty());
  EXPECT_EQ(5, in.getSequenceNumber());
  EXPECT_TRUE(in.sender == "ab");
  ASSERT_EQ(1, in.recipients.getCount());
  EXPECT_EQ(1, in.recipients.at(0).type());
  EXPECT_TRUE(in.recipients.at(0).address() == "x");
  EXPECT_EQ(3, in.priority);
  EXPECT_EQ(60, in.validitySeconds);
  EXPECT_TRUE(in.text == "hi");
  EXPECT_EQ(-2, in.reference.getValue());
  EXPECT_EQ(200, in.segmentCount.getValue());
  EXPECT_EQ(86400, in.expiry.getValue());
  CString callback;
  in.callback.getValue(callback);
  EXPECT_TRUE(callback == "cb");
  CIPByteBuffer udh;
  in.userDataHeader.getValue(udh);
  EXPECT_EQ("05 00 03", hexOf(udh));
  EXPECT_EQ(1, in.reportWanted.hasValue());
  EXPECT_EQ(1, in.messageClass.getValue());
  EXPECT_EQ(CPDU::VALID_ALL, in.getValid());
  EXPECT_EQ(hexOf(encode(out)), hexOf(encode(in)));
}

TEST(SubmitText, RoundTripsWithoutOptionalParametersAndTextHoldingNuls) {
  SubmitText out;
  fill(out);
  char* p = out.text.GetBuffer(3);
  p[0] = 'a';
  p[1] = '\0';
  p[2] = 'b';
  out.text.ReleaseBuffer(3);
  CIPByteBuffer wire = encode(out);
  SubmitText in;
  ASSERT_EQ(1, in.setData(wire)) << in.result().reason();
  EXPECT_EQ(3, in.text.GetLength());
  EXPECT_TRUE(in.text == out.text);
  for (CTLV* tlv : {static_cast<CTLV*>(&in.reference), static_cast<CTLV*>(&in.callback),
                    static_cast<CTLV*>(&in.reportWanted)}) {
    EXPECT_EQ(0, tlv->hasValue());
  }
}

TEST(SubmitText, ParsesParametersInAnyOrderAndSkipsUnknownTags) {
  const std::string tlvs = "01 07 00 01 09  77 77 00 03 AA BB CC  01 06 00 00  01 01 00 02 00 2A";
  CIPByteBuffer wire = pduFromBody(std::string(kBody) + " " + tlvs);
  SubmitText in;
  ASSERT_EQ(1, in.setData(wire)) << in.result().reason();
  EXPECT_EQ(9, in.messageClass.getValue());
  EXPECT_EQ(1, in.reportWanted.hasValue());
  EXPECT_EQ(42, in.reference.getValue());
  EXPECT_EQ(0, in.expiry.hasValue());
  // Re-encoded in the protocol's own order, without the unknown parameter.
  EXPECT_EQ(
      hexOf(pduFromBody(std::string(kBody) + " 01 01 00 02 00 2A  01 06 00 00  01 07 00 01 09")),
      hexOf(encode(in)));
}

TEST(SubmitText, ParsingIntoAUsedObjectKeepsOnlyWhatWasReceived) {
  SubmitText in;
  fill(in);
  setAllOptional(in);
  CIPByteBuffer wire = pduFromBody(kBody);
  ASSERT_EQ(1, in.setData(wire)) << in.result().reason();
  EXPECT_EQ(0, in.reference.hasValue());
  EXPECT_EQ(0, in.userDataHeader.hasValue());
  EXPECT_EQ(1, in.recipients.getCount());
}

TEST(SubmitText, RecipientListAtItsMaximum) {
  SubmitText out;
  fill(out);
  for (int i = 1; i < textmsg::RecipientList::kMaxRecipients; ++i) {
    EXPECT_EQ(1, out.recipients.add(Recipient(static_cast<unsigned char>(i), "r")));
  }
  EXPECT_EQ(0, out.recipients.add(Recipient(0, "one too many")));
  CIPByteBuffer wire = encode(out);
  SubmitText in;
  ASSERT_EQ(1, in.setData(wire)) << in.result().reason();
  ASSERT_EQ(10, in.recipients.getCount());
  EXPECT_EQ(9, in.recipients.at(9).type());

  // Eleven on the wire is malformed, even though the bytes are all there.
  CIPByteBuffer eleven = pduFromBody(
      "61 00 0B" + std::string(11 * 1, ' ') +
      " 01 72 00 01 72 00 01 72 00 01 72 00 01 72 00 01 72 00 01 72 00 01 72 00 01 72 00"
      " 01 72 00 01 72 00  03  00 00 00 3C  00 00");
  SubmitText tooMany;
  EXPECT_EQ(0, tooMany.setData(eleven));
  EXPECT_EQ("recipients: over its limit (11 items, at most 10)", tooMany.result().reason());
}

TEST(SubmitText, TruncationAtEveryBytePositionIsMalformed) {
  SubmitText out;
  fill(out);
  setAllOptional(out);
  const CIPByteBuffer whole = encode(out);
  for (unsigned int n = 0; n < whole.getLength(); ++n) {
    CIPByteBuffer cut;
    whole.readBytes(static_cast<int>(n), cut);
    SubmitText in;
    EXPECT_EQ(0, in.setData(cut)) << "cut at " << n;
    EXPECT_FALSE(in.result().reason().empty());
  }
}

TEST(SubmitText, TruncatedBodyWithAdjustedLengthIsMalformedOrAWholeShorterPdu) {
  SubmitText out;
  fill(out);
  setAllOptional(out);
  const CIPByteBuffer whole = encode(out);
  int accepted = 0;
  for (unsigned int n = 16; n < whole.getLength(); ++n) {
    CIPByteBuffer cut;
    whole.readBytes(static_cast<int>(n), cut);
    CIPByteBuffer fixed;
    fixed.appendInt(static_cast<int>(n));
    cut.removeBytes0(4);
    fixed.appendBuffer(&cut);
    const std::string sent = hexOf(fixed);
    SubmitText in;
    if (in.setData(fixed) == 1) {
      // Only a cut between two parameters leaves a valid PDU, and it re-encodes exactly.
      ++accepted;
      EXPECT_EQ(sent, hexOf(encode(in))) << "cut at " << n;
    } else {
      EXPECT_FALSE(in.result().reason().empty()) << "cut at " << n;
    }
  }
  EXPECT_EQ(7, accepted);  // after the text, and after each of the first six parameters
}

TEST(SubmitText, RejectsWrongCommandLengthsAndIds) {
  const std::string tail = std::string(" ") + kHeader + " " + kBody;
  struct Case {
    std::string wire;
    std::string error;
  } cases[] = {
      {"00 00 00 21" + tail, "command_length: disagrees with the bytes held (33, 32 bytes held)"},
      {"00 00 00 0F" + tail, "command_length: disagrees with the bytes held (15, 32 bytes held)"},
      {"FF FF FF FF" + tail,
       "command_length: disagrees with the bytes held (4294967295, 32 bytes held)"},
      {"00 00 00 1F" + tail, "text: cut short"},
      {"00 00 00 20 80 00 00 21 00 00 00 00 00 00 00 05 " + std::string(kBody),
       "command_id: not the expected command id (0x80000021 where 0x00000021 was expected)"},
      {"00 00 00 10", "header: cut short (4 bytes, a header needs 16)"},
  };
  for (const auto& c : cases) {
    CIPByteBuffer wire = bufferFromHex(c.wire);
    SubmitText in;
    EXPECT_EQ(0, in.setData(wire)) << c.wire;
    EXPECT_EQ(c.error, in.result().reason()) << c.wire;
  }
}

TEST(SubmitText, RejectsMalformedParameters) {
  struct Case {
    std::string tlvs;
    std::string error;
  } cases[] = {
      {"01 03 00 03 01 02 03", "expiry: value refused by its type (3 value bytes)"},
      {"01 01 00 02 00 01  01 01 00 02 00 02", "reference: appears twice"},
      {"01 04 00 05 61 62", "callback: cut short"},
      {"01 04 00", "parameters: cut short (a parameter needs 4 bytes)"},
      // Accepting these would encode back differently: "ab" and an empty flag.
      {"01 04 00 04 61 62 00 63", "callback: value refused by its type (4 value bytes)"},
      {"01 06 00 02 AB CD", "report_wanted: value refused by its type (2 value bytes)"},
  };
  for (const auto& c : cases) {
    CIPByteBuffer wire = pduFromBody(std::string(kBody) + " " + c.tlvs);
    SubmitText in;
    EXPECT_EQ(0, in.setData(wire)) << c.tlvs;
    EXPECT_EQ(c.error, in.result().reason()) << c.tlvs;
    EXPECT_EQ(CPDU::VALID_HEADER, in.getValid());
  }
}

TEST(SubmitText, ValidityTellsHowFarAFailedParseGot) {
  // A PDU that parsed once and then fails must not keep claiming to be valid.
  SubmitText in;
  CIPByteBuffer good = pduFromBody(kBody);
  ASSERT_EQ(1, in.setData(good)) << in.result().reason();
  ASSERT_EQ(1, in.isValid());

  CIPByteBuffer shortHeader = bufferFromHex("00 00 00 10");
  EXPECT_EQ(0, in.setData(shortHeader));
  EXPECT_EQ(1, in.isInvalid());

  CIPByteBuffer otherId =
      bufferFromHex("00 00 00 20 80 00 00 21 00 00 00 00 00 00 00 05 " + std::string(kBody));
  EXPECT_EQ(0, in.setData(otherId));
  EXPECT_EQ(1, in.isInvalid());

  CIPByteBuffer badBody = pduFromBody("61 62");
  EXPECT_EQ(0, in.setData(badBody));
  EXPECT_EQ(CPDU::VALID_HEADER, in.getValid());
}

TEST(SubmitText, RefusesToEncodeAnUnframeableParameter) {
  SubmitText out;
  fill(out);
  CIPByteBuffer big;
  big.appendBytes0(65536);
  out.userDataHeader.setValue(big);
  CIPByteBuffer wire = bufferFromHex("AA");
  EXPECT_EQ(0, out.getData(wire));
  EXPECT_EQ("user_data_header: over its limit (value over 65535 bytes)", out.result().reason());
  EXPECT_EQ("AA", hexOf(wire));
}

// The PDU is encoded once, straight behind what the output already holds: the command length
// patched into its header counts the PDU's bytes only, and the object's header says the same.
TEST(SubmitText, EncodesBehindHeldBytesWithItsOwnCommandLength) {
  SubmitText pdu;
  fill(pdu);
  setAllOptional(pdu);
  const std::string alone = hexOf(encode(pdu));
  CIPByteBuffer out = bufferFromHex("AA BB");
  ASSERT_EQ(1, pdu.getData(out));
  EXPECT_EQ("AA BB " + alone, hexOf(out));
  EXPECT_EQ(static_cast<int>(out.getLength()) - 2, pdu.getCommandLength());
  SubmitText parsed;
  out.removeBytes0(2);
  EXPECT_EQ(1, parsed.setData(out)) << parsed.result().reason();

  // A refused encode into an empty output leaves it empty, holding no block.
  CIPByteBuffer big;
  big.appendBytes0(65536);
  pdu.userDataHeader.setValue(big);
  CIPByteBuffer none;
  EXPECT_EQ(0, pdu.getData(none));
  EXPECT_EQ(0u, none.getLength());
  EXPECT_EQ(nullptr, none.getBuffer());
}

TEST(SubmitTextResp, PairsWithItsRequestAndRoundTrips) {
  SubmitText request;
  fill(request);
  request.assignSequenceNumber(1);
  SubmitTextResp response(request);
  response.messageId = "M1";
  CIPByteBuffer wire;
  ASSERT_EQ(1, response.getData(wire));
  SubmitTextResp in;
  ASSERT_EQ(1, in.setData(wire)) << in.result().reason();
  EXPECT_TRUE(in.messageId == "M1");
  EXPECT_EQ(1, in.equals(&request));
  EXPECT_EQ(static_cast<int>(0x80000021u), in.getCommandId());

  CIPByteBuffer noNul = bufferFromHex("00 00 00 12 80 00 00 21 00 00 00 00 00 00 00 01 4D 31");
  EXPECT_EQ(0, in.setData(noNul));
  EXPECT_EQ("message_id: NUL missing", in.result().reason());
}

TEST(Hex, ParsesPairsAndNamesBadInput) {
  CIPByteBuffer out;
  std::string error;
  EXPECT_TRUE(textmsg::fromHex("0a FF\n10", out, error));
  EXPECT_EQ("0A FF 10", hexOf(out));
  EXPECT_EQ("0AFF10", textmsg::toHex(out));
  EXPECT_FALSE(textmsg::fromHex("0g", out, error));
  EXPECT_EQ("not a hex digit at position 2: 'g'", error);
  EXPECT_FALSE(textmsg::fromHex("abc", out, error));
  EXPECT_EQ("odd number of hex digits", error);
  EXPECT_EQ("0A FF 10", hexOf(out));
}

// Resident memory (RSS) shows about 4 GiB while this runs: the text is one 2 MiB block mapped
// 2,048 times, and reading it through counts the block once per mapping. The memory taken
// is that one block (support/HugeText.h).
TEST(SubmitText, TextLongerThanAnIntCanCountIsRefusedNotSentShort) {
  const char* huge = orvelpdu::test::hugeText();
  if (huge == nullptr) GTEST_SKIP() << orvelpdu::test::hugeTextAbsence();
  SubmitText pdu;
  fill(pdu);
  EXPECT_THROW(pdu.text = huge, std::bad_alloc);
  EXPECT_THROW(pdu.sender = huge, std::bad_alloc);
  CIPByteBuffer wire;
  ASSERT_EQ(1, pdu.getData(wire));
  SubmitText back;
  ASSERT_EQ(1, back.setData(wire)) << back.result().reason();
  EXPECT_TRUE(back.text == pdu.text);
  EXPECT_TRUE(back.sender == pdu.sender);
}

// "a", a NUL, "b": a text its C-string field cannot carry.
CString textWithNul() {
  CString s;
  std::memcpy(s.GetBuffer(3), "a\0b", 3);
  s.ReleaseBuffer(3);
  return s;
}

// The peer would read a shorter field, or refuse the PDU: the encoder refuses first, appends
// nothing and names the field.
TEST(SubmitText, FieldsHoldingANulAreRefusedWhenEncoding) {
  struct Case {
    const char* field;
    void (*spoil)(SubmitText&);
  };
  const Case cases[] = {
      {"sender", [](SubmitText& pdu) { pdu.sender = textWithNul(); }},
      {"callback", [](SubmitText& pdu) { pdu.callback.setValue(textWithNul()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    SubmitText pdu;
    fill(pdu);
    c.spoil(pdu);
    CIPByteBuffer out = bufferFromHex("EE");
    EXPECT_EQ(0, pdu.getData(out));
    EXPECT_EQ("EE", hexOf(out));
    EXPECT_NE(std::string::npos, pdu.result().reason().find(c.field)) << pdu.result().reason();
    EXPECT_NE(std::string::npos, pdu.result().reason().find("NUL")) << pdu.result().reason();
  }

  SubmitTextResp response;
  response.messageId = textWithNul();
  CIPByteBuffer out;
  EXPECT_EQ(0, response.getData(out));
  EXPECT_EQ(0u, out.getLength());
  EXPECT_NE(std::string::npos, response.result().reason().find("message_id"))
      << response.result().reason();

  // Without the NUL each encodes again.
  response.messageId = "ab";
  EXPECT_EQ(1, response.getData(out));
  EXPECT_TRUE(response.result().ok());
}

}  // namespace

// The second protocol (tests/support/Ledger.h), defined only by descriptions: its bytes pinned
// field by field, round trips, and what every truncation and every single-byte change does.
#include "support/Ledger.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/Hex.h"
#include "support/RegistrySnapshot.h"

namespace {

using ledger::Ack;
using ledger::Entry;
using ledger::Line;
using ledger::Post;
using orvelpdu::Outcome;
using orvelpdu::Result;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;

// Written by hand from the wire format, one field per line.
const std::string kPostHex =
    "0000007F 00000101 00000000 00000009"  // header: length 127, id, status, sequence 9
    "02 FD FFFE BEEF FFFFFC18 DEADBEEF"  // version, bias -3, delta -2, flags, balance -1000, total
    "61636374 00"                        // account "acct"
    "4C31 00"                            // label "L1"
    "010203"                             // key
    "00000002 00FF"                      // blob, 4-byte length
    "0002 540A"                          // title "T\n", 2-byte length
    "01 68 1F90"                         // origin: host "h" (1-byte length), port 8080
    "00000002"                           // entries: 2
    "00000007 01 0001 0005 0102 6D00 AABBCCDD"  // entry 0: id 7, kind 1, one line, stamp
    "00000008 FF 0000 00000000"                 // entry 1: id 8, kind -1, no lines
    "0001 0001 7F"                              // p_byte
    "0002 0001 C8"                              // p_ubyte 200
    "0003 0002 FFFE"                            // p_short -2
    "0004 0004 00010000"                        // p_int 65536
    "0005 0000"                                 // p_empty
    "0006 0002 0001"                            // p_octets
    "FACE 0002 6F6B";                           // note "ok"

Post samplePost() {
  Post p;
  p.setSequenceNumber(9);
  p.version = 2;
  p.bias = -3;
  p.delta = -2;
  p.flags = 0xBEEF;
  p.balance = -1000;
  p.total = 0xDEADBEEF;
  p.account = "acct";
  p.label = "L1";
  p.key = {1, 2, 3};
  p.blob = bufferFromHex("00FF");
  p.title = "T\n";
  p.origin.host = "h";
  p.origin.port = 8080;
  Entry first;
  first.id = 7;
  first.kind = 1;
  Line line;
  line.delta = 5;
  line.code = 0x0102;
  line.memo = "m";
  EXPECT_TRUE(first.lines.add(line));
  first.stamp = {0xAA, 0xBB, 0xCC, 0xDD};
  Entry second;
  second.id = 8;
  second.kind = -1;
  EXPECT_TRUE(p.entries.add(first));
  EXPECT_TRUE(p.entries.add(second));
  p.pByte.setValue(0x7F);
  p.pUByte.setValue(200);
  p.pShort.setValue(-2);
  p.pInt.setValue(65536);
  p.pEmpty.setValue(1);
  CIPByteBuffer octets = bufferFromHex("0001");
  p.pOctets.setValue(octets);
  p.note.setValue(CString("ok"));
  return p;
}

// Hex without spaces, for finding and replacing field bytes.
std::string compact(std::string hex) {
  std::erase(hex, ' ');
  return hex;
}

// The pinned Post cut to `length` bytes, with its command length made to agree.
CIPByteBuffer postCutTo(unsigned int length) {
  CIPByteBuffer cut;
  bufferFromHex(kPostHex).readBytes(static_cast<int>(length), cut);
  orvelpdu::detail::storeBig32(cut.getBuffer(), length);
  return cut;
}

template <class Pdu>
std::string encoded(Pdu& pdu) {
  CIPByteBuffer out;
  const Result result = pdu.encode(out);
  EXPECT_TRUE(result.ok()) << result.reason();
  return hexOf(out);
}

// Parses `bytes` into a fresh Pdu; on success it must encode back to the bytes it took (all of
// them, or fewer when its command length says the PDU ends earlier). Compared as bytes, shown
// as hex only when they differ, since the single-byte changes make thousands of calls.
template <class Pdu>
Result parsesBack(const CIPByteBuffer& bytes) {
  Pdu pdu;
  CIPByteBuffer in(bytes);
  const Result result = pdu.parse(in);
  if (!result.ok()) {
    EXPECT_NE(Outcome::kOk, result.outcome());
    EXPECT_FALSE(result.reason().empty());
    return result;
  }
  const unsigned int taken = bytes.getLength() - in.getLength();
  CIPByteBuffer out;
  EXPECT_TRUE(pdu.encode(out).ok());
  if (out.getLength() != taken || std::memcmp(out.getBuffer(), bytes.getBuffer(), taken) != 0) {
    CIPByteBuffer expected;
    bytes.readBytes(static_cast<int>(taken), expected);
    EXPECT_EQ(hexOf(expected), hexOf(out));
  }
  return result;
}

TEST(Ledger, EncodesToTheBytesWrittenByHandAndParsesBackToEqualContent) {
  const orvelpdu::test::RegistrySnapshot registry;
  {
    Post out = samplePost();
    const std::string wire = encoded(out);
    EXPECT_EQ(hexOf(bufferFromHex(kPostHex)), wire);
    EXPECT_EQ(127, out.getCommandLength());

    Post in;
    CIPByteBuffer bytes = bufferFromHex(wire);
    const Result result = in.parse(bytes);
    ASSERT_TRUE(result.ok()) << result.reason();
    EXPECT_TRUE(in.sameContent(out));
    EXPECT_EQ(9, in.getSequenceNumber());
    EXPECT_EQ(-1000, in.balance);
    EXPECT_EQ("m", in.entries.at(0).lines.at(0).memo);
    EXPECT_EQ(0, in.entries.at(1).lines.getCount());
    in.entries.at(0).lines.at(0).code = 0x0103;
    EXPECT_FALSE(in.sameContent(out));
  }
  EXPECT_TRUE(registry.balanced());
}

TEST(Ledger, UnknownParametersAreKeptInOrderByPostAndSkippedByAck) {
  const std::string unknown = "77 77 00 01 EE 77 78 00 00";
  Post post;
  CIPByteBuffer in = bufferFromHex(kPostHex + unknown);
  orvelpdu::detail::storeBig32(in.getBuffer(), in.getLength());
  const std::string received = hexOf(in);
  ASSERT_TRUE(post.parse(in).ok());
  ASSERT_EQ(2, post.unknownParameters().count());
  EXPECT_EQ(received, encoded(post));

  Ack ack;
  CIPByteBuffer ackIn = bufferFromHex("00000019 80000101 00000000 00000003 00000000 7777 0001 EE");
  ASSERT_TRUE(ack.parse(ackIn).ok());
  EXPECT_EQ(0, ack.unknownParameters().count());
  EXPECT_EQ(hexOf(bufferFromHex("00000014 80000101 00000000 00000003 00000000")), encoded(ack));
}

TEST(Ledger, ExtraParameterHooksReachTheUnknownParameters) {
  Ack ack;
  CTLVInt extra(static_cast<short>(0x0909), 5);
  ack.registerExtraOptional(&extra);
  ack.registerExtraOptional(&extra);  // register adds; set and replace change the first
  CTLVInt replacement(static_cast<short>(0x0909), 6);
  ack.replaceExtraOptional(&replacement);
  CIPByteBuffer value = bufferFromHex("AB");
  ack.setExtraOptional(static_cast<short>(0x0A0A), value);
  EXPECT_EQ(0u, value.getLength());
  ASSERT_NE(nullptr, ack.getExtraOptional(static_cast<short>(0x0A0A)));
  EXPECT_EQ(nullptr, ack.getExtraOptional(static_cast<short>(0x0B0B)));
  EXPECT_EQ(&ack.note, ack.findOptional(static_cast<short>(0xFACE)));
  EXPECT_EQ(hexOf(bufferFromHex("00000029 80000101 00000000 00000001 00000000"
                                "0909 0004 00000006  0909 0004 00000005  0A0A 0001 AB")),
            encoded(ack));
  // A parse holds exactly what was received.
  CIPByteBuffer in = bufferFromHex("00000014 80000101 00000000 00000001 00000000");
  ASSERT_TRUE(ack.parse(in).ok());
  EXPECT_EQ(0, ack.unknownParameters().count());
}

TEST(Ledger, AReusedPduHoldsOnlyWhatTheLastParseReceived) {
  Post post;
  CIPByteBuffer full = bufferFromHex(kPostHex);
  ASSERT_TRUE(post.parse(full).ok());
  ASSERT_EQ(1, post.note.hasValue());
  // The same PDU cut after its last entry: no parameters at all.
  CIPByteBuffer bare = postCutTo(0x57);
  ASSERT_TRUE(post.parse(bare).ok());
  EXPECT_EQ(0, post.note.hasValue());
  EXPECT_EQ(0, post.pEmpty.hasValue());
  EXPECT_EQ(2, post.entries.getCount());
}

TEST(Ledger, FailuresNameTheFieldThroughNestedItemsAndLists) {
  struct Case {
    std::string from, to;  // a change to the pinned bytes
    std::string reason;
  } cases[] = {
      {"000000020000000701", "000000040000000701", "entries: over its limit (4 items, at most 3)"},
      {"000100050102", "000500050102", "entries[0].lines: over its limit (5 items, at most 4)"},
      {"0002540A", "0029540A", "title: over its limit (41, at most 40)"},
      {"00030002FFFE", "00010002FFFE", "p_byte: appears twice"},
      {"0004000400010000", "0004000300010000", "p_int: value refused by its type (3 value bytes)"},
      {"FACE00026F6B", "FACE00026F00", "note: value refused by its type (2 value bytes)"},
      {"00000101", "00000102",
       "command_id: not the expected command id (0x00000102 where 0x00000101 was expected)"},
  };
  for (const Case& c : cases) {
    std::string hex = compact(kPostHex);
    const auto at = hex.find(c.from);
    ASSERT_NE(std::string::npos, at) << c.from;
    hex.replace(at, c.from.size(), c.to);
    Post post;
    CIPByteBuffer in = bufferFromHex(hex);
    EXPECT_EQ(c.reason, post.parse(in).reason()) << c.to;
  }
  // PDUs that end inside a field: at byte 52 inside origin's host, at 71 inside a memo.
  Post post;
  CIPByteBuffer insideHost = postCutTo(52);
  EXPECT_EQ("origin.host: cut short", post.parse(insideHost).reason());
  CIPByteBuffer insideMemo = postCutTo(71);
  EXPECT_EQ("entries[0].lines[0].memo: NUL missing", post.parse(insideMemo).reason());
}

TEST(Ledger, EncodingRefusesWhatCannotBeCarriedAndAppendsNothing) {
  struct Case {
    void (*spoil)(Post&);
    std::string reason;
  } cases[] = {
      {[](Post& p) { p.label = std::string("a\0b", 3); },
       "label: holds a NUL, which a NUL-ended text cannot carry"},
      {[](Post& p) { p.account = "an account name too long"; },
       "account: over its limit (24, at most 20)"},
      {[](Post& p) {
         Line line;
         line.memo = std::string("m\0", 2);
         p.entries.at(1).lines.add(line);
       },
       "entries[1].lines[0].memo: holds a NUL, which a NUL-ended text cannot carry"},
      {[](Post& p) { p.origin.host = "a host name over thirty-two chars"; },
       "origin.host: over its limit (33, at most 32)"},
      {[](Post& p) {
         CString text;
         char* chars = text.GetBuffer(2);
         chars[0] = 'o';
         chars[1] = '\0';
         text.ReleaseBuffer(2);
         p.note.setValue(text);
       },
       "note: holds a NUL, which a NUL-ended text cannot carry"},
  };
  for (const Case& c : cases) {
    Post p = samplePost();
    c.spoil(p);
    CIPByteBuffer out = bufferFromHex("EE");
    EXPECT_EQ(c.reason, p.encode(out).reason());
    EXPECT_EQ("EE", hexOf(out));
  }
  Post p = samplePost();
  CIPByteBuffer big;
  big.appendBytes0(65536);
  p.pOctets.setValue(big);
  CIPByteBuffer out = bufferFromHex("EE");
  EXPECT_EQ(0, p.getData(out));
  EXPECT_EQ("p_octets: over its limit (value over 65535 bytes)", p.result().reason());
  EXPECT_EQ("EE", hexOf(out));
}

TEST(Ledger, EveryTruncationIsRefusedWithAReasonOrIsAShorterWholePdu) {
  const CIPByteBuffer whole = bufferFromHex(kPostHex);
  int accepted = 0;
  for (unsigned int n = 0; n < whole.getLength(); ++n) {
    CIPByteBuffer cut;
    whole.readBytes(static_cast<int>(n), cut);
    Post post;
    EXPECT_FALSE(post.parse(cut).ok()) << n;
    if (n < 16) continue;
    // With the command length made to agree, only cuts between parameters leave a PDU.
    if (parsesBack<Post>(postCutTo(n)).ok()) ++accepted;
  }
  EXPECT_EQ(7, accepted);  // after the entries and after each of the first six parameters
}

TEST(Ledger, EverySingleByteChangeIsRefusedOrEncodesBackToTheSameBytes) {
  const CIPByteBuffer whole = bufferFromHex(kPostHex);
  int refused = 0;
  int accepted = 0;
  for (unsigned int at = 0; at < whole.getLength(); ++at) {
    for (unsigned int flip = 1; flip < 256; ++flip) {
      CIPByteBuffer changed(whole);
      changed.getBuffer()[at] ^= static_cast<unsigned char>(flip);
      (parsesBack<Post>(changed).ok() ? accepted : refused) += 1;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(accepted, 0);
}

TEST(Ledger, DumpsNameEveryFieldAndEscapeWhatIsNotPrintable) {
  Post post;
  std::vector<orvelpdu::DumpRow> rows;
  ASSERT_TRUE(post.dump(bufferFromHex(kPostHex), rows).ok());
  const std::string text = orvelpdu::formatDump(rows);
  for (const char* expected :
       {"command_id      0x00000101", "entries[0].lines[0].memo  \"m\"", "title  \"T\\x0A\"",
        "origin.host", "blob  00 FF", "p_ubyte  200", "note  \"ok\"", "p_empty  present"}) {
    std::string pattern(expected);
    const auto gap = pattern.find("  ");
    const std::string path = pattern.substr(0, gap);
    const std::string value =
        gap == std::string::npos ? "" : pattern.substr(pattern.find_first_not_of(' ', gap));
    bool found = false;
    for (const auto& row : rows)
      found = found || (row.path == path && (value.empty() || row.value == value));
    EXPECT_TRUE(found) << expected << "\n" << text;
  }
  EXPECT_EQ(rows.back().offset + rows.back().width, 127u);

  // Knowing nothing of the body: the header, then the body as one row.
  const auto generic = orvelpdu::dumpGeneric(bufferFromHex(kPostHex));
  ASSERT_EQ(5u, generic.size());
  EXPECT_EQ("body", generic[4].path);
  const auto frames = orvelpdu::dumpGeneric(
      bufferFromHex("0000001A 99999999 00000000 00000001 FACE 0002 1B5B 0001 0000"));
  ASSERT_EQ(6u, frames.size());
  EXPECT_EQ("parameters.0xFACE", frames[4].path);
  EXPECT_EQ("1B 5B", frames[4].value);
  EXPECT_EQ("\"a\\x1B[2J\\x22\"", orvelpdu::quoteText(std::string("a\x1B[2J\"")));
}

}  // namespace

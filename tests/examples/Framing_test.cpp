// The example protocol's PDUs through the framer: however the stream is cut, the framer hands
// out the same PDUs as from one piece, and each parses and encodes back to its bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "orvelpdu/stream/PDUFramer.h"
#include "support/Hex.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace {

using orvelpdu::PDUFramer;
using orvelpdu::test::hexOf;
using textmsg::Recipient;
using textmsg::SubmitText;
using textmsg::SubmitTextResp;
using Bytes = std::vector<unsigned char>;

template <class Pdu>
void appendTo(Bytes& stream, Pdu& pdu) {
  CIPByteBuffer out;
  ASSERT_EQ(1, pdu.getData(out)) << pdu.result().reason();
  stream.insert(stream.end(), out.getBuffer(), out.getBuffer() + out.getLength());
}

// A request with every optional parameter and its response, `pairs` times.
Bytes exampleStream(int pairs, std::mt19937& random) {
  Bytes stream;
  for (int i = 0; i < pairs; ++i) {
    SubmitText request;
    request.sender = "orvel";
    request.recipients.add(Recipient(1, "+4420"));
    request.text = std::string(random() % 40, 'h').c_str();
    request.reference.setValue(static_cast<short>(i));
    request.reportWanted.setValue(0);
    if (i % 2 == 0) {
      CIPByteBuffer udh = orvelpdu::test::bufferFromHex("05 00 03");
      request.userDataHeader.setValue(udh);
    }
    request.setSequenceNumber(i + 1);
    appendTo(stream, request);
    SubmitTextResp response(request);
    response.messageId = ("M" + std::to_string(i)).c_str();
    appendTo(stream, response);
  }
  return stream;
}

// Frames `stream` in the given chunks; each PDU handed out must parse as the PDU its command
// id names and encode back to exactly its bytes. Returns the PDUs as hex.
std::vector<std::string> frame(const Bytes& stream, const std::vector<size_t>& chunks) {
  PDUFramer framer;
  std::vector<std::string> pdus;
  CIPByteBuffer pdu;
  size_t pos = 0;
  for (size_t chunk : chunks) {
    EXPECT_TRUE(framer.feed(stream.data() + pos, chunk));
    pos += chunk;
    while (framer.next(pdu) == PDUFramer::Result::kFrame) {
      const std::string hex = hexOf(pdu);
      pdus.push_back(hex);
      int id = 0;
      EXPECT_TRUE(orvelpdu::peekInt(pdu, 4, id));
      CIPByteBuffer again;
      if (id == SubmitText::kCommandId) {
        SubmitText parsed;
        EXPECT_EQ(1, parsed.setData(pdu)) << parsed.result().reason();
        EXPECT_EQ(1, parsed.getData(again));
      } else {
        SubmitTextResp parsed;
        EXPECT_EQ(1, parsed.setData(pdu)) << parsed.result().reason();
        EXPECT_EQ(1, parsed.getData(again));
      }
      EXPECT_EQ(hex, hexOf(again));
    }
  }
  EXPECT_FALSE(framer.failed());
  EXPECT_EQ(0u, framer.buffered());
  return pdus;
}

TEST(ExampleFraming, EveryCutIntoUpToThreeChunksOfAShortStream) {
  std::mt19937 random(1);
  const Bytes stream = exampleStream(1, random);
  const auto whole = frame(stream, {stream.size()});
  ASSERT_EQ(2u, whole.size());
  const size_t n = stream.size();
  for (size_t a = 0; a <= n; ++a) {
    for (size_t b = a; b <= n; ++b) {
      ASSERT_EQ(whole, frame(stream, {a, b - a, n - b})) << a << "," << b;
    }
  }
  for (size_t size = 1; size <= n; ++size) {
    std::vector<size_t> chunks(n / size, size);
    if (n % size != 0) chunks.push_back(n % size);
    ASSERT_EQ(whole, frame(stream, chunks)) << "chunks of " << size;
  }
}

TEST(ExampleFraming, RandomChunkingsOfALongStream) {
  std::mt19937 random(2);
  const Bytes stream = exampleStream(300, random);
  const auto whole = frame(stream, {stream.size()});
  ASSERT_EQ(600u, whole.size());
  for (int round = 0; round < 10; ++round) {
    std::vector<size_t> chunks;
    size_t left = stream.size();
    while (left > 0) {
      const size_t chunk = std::min<size_t>(left, 1 + random() % (round < 5 ? 7 : 2000));
      chunks.push_back(chunk);
      left -= chunk;
    }
    ASSERT_EQ(whole, frame(stream, chunks)) << "round " << round;
  }
}

}  // namespace

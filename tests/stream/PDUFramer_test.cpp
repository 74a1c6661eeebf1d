#include "orvelpdu/stream/PDUFramer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "orvelpdu/buffer/ByteOrder.h"
#include "support/FailingNew.h"
#include "support/Hex.h"
#include "support/TestPdu.h"

namespace {

using orvelpdu::PDUFramer;
using orvelpdu::test::bytesFromHex;
using orvelpdu::test::hexOf;
using orvelpdu::test::ScopedAllocationFailure;
using orvelpdu::test::TestPdu;
using Bytes = std::vector<unsigned char>;
using Result = PDUFramer::Result;

// The wire bytes of a TestPdu with `name`, its command length set to match.
Bytes wireOf(int sequence, const std::string& name) {
  TestPdu pdu;
  pdu.setCommandLength(TestPdu::wireLength(static_cast<int>(name.size())));
  pdu.setSequenceNumber(sequence);
  pdu.name = name;
  CIPByteBuffer out;
  pdu.getData(out);
  return Bytes(out.getBuffer(), out.getBuffer() + out.getLength());
}

Bytes concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// What framing `stream` in the given chunks hands out: the PDUs in order, whether the framer
// failed, and the bytes left held.
struct Outcome {
  std::vector<Bytes> pdus;
  bool failed = false;
  size_t held = 0;
  bool operator==(const Outcome&) const = default;
};

void drain(PDUFramer& framer, Outcome& outcome) {
  CIPByteBuffer pdu;
  for (;;) {
    const Result r = framer.next(pdu);
    if (r == Result::kFrame) {
      outcome.pdus.emplace_back(pdu.getBuffer(), pdu.getBuffer() + pdu.getLength());
      continue;
    }
    outcome.failed = r == Result::kFramingError;
    return;
  }
}

Outcome frame(const Bytes& stream, const std::vector<size_t>& chunks, int max = 1 << 20) {
  PDUFramer framer(max);
  Outcome outcome;
  size_t pos = 0;
  for (size_t chunk : chunks) {
    framer.feed(stream.data() + pos, chunk);
    pos += chunk;
    drain(framer, outcome);
  }
  EXPECT_EQ(stream.size(), pos);
  outcome.held = framer.buffered();
  return outcome;
}

Outcome frameWhole(const Bytes& stream, int max = 1 << 20) {
  return frame(stream, {stream.size()}, max);
}

TEST(PDUFramer, HandsOutEachPduAsSoonAsItsLastByteArrives) {
  const std::vector<Bytes> pdus = {wireOf(1, ""), wireOf(2, "abc"), wireOf(3, "x")};
  const Bytes stream = concat(pdus);
  PDUFramer framer;
  CIPByteBuffer pdu;
  size_t end = pdus[0].size();
  size_t index = 0;
  for (size_t i = 0; i < stream.size(); ++i) {
    ASSERT_TRUE(framer.feed(&stream[i], 1));
    if (i + 1 == end) {
      ASSERT_EQ(Result::kFrame, framer.next(pdu)) << "byte " << i;
      EXPECT_EQ(hexOf(pdus[index]), hexOf(pdu));
      TestPdu parsed;
      ASSERT_EQ(1, parsed.setData(pdu));
      EXPECT_EQ(static_cast<int>(index + 1), parsed.getSequenceNumber());
      if (++index < pdus.size()) end += pdus[index].size();
    }
    EXPECT_EQ(Result::kNeedMore, framer.next(pdu)) << "byte " << i;
  }
  EXPECT_EQ(pdus.size(), index);
  EXPECT_EQ(0u, framer.buffered());
  EXPECT_EQ(stream.size(), framer.consumed());
}

TEST(PDUFramer, EveryChunkingOfAShortStreamGivesWhatOnePieceGives) {
  // A header-only PDU and the first byte of the next: every one of the 2^16 ways to cut 17
  // bytes into chunks.
  Bytes stream = wireOf(9, "");
  stream.resize(16);
  stream[3] = 16;
  const Bytes next = wireOf(10, "q");
  stream.insert(stream.end(), next.begin(), next.begin() + 1);
  const Outcome whole = frameWhole(stream);
  ASSERT_EQ(1u, whole.pdus.size());
  ASSERT_EQ(1u, whole.held);
  const unsigned int cuts = static_cast<unsigned int>(stream.size() - 1);
  for (uint32_t mask = 0; mask < (1u << cuts); ++mask) {
    std::vector<size_t> chunks;
    size_t last = 0;
    for (unsigned int c = 0; c < cuts; ++c) {
      if ((mask >> c) & 1u) {
        chunks.push_back(c + 1 - last);
        last = c + 1;
      }
    }
    chunks.push_back(stream.size() - last);
    ASSERT_EQ(whole, frame(stream, chunks)) << "mask " << mask;
  }
}

TEST(PDUFramer, EveryCutIntoUpToThreeChunksOfSeveralPdus) {
  const Bytes stream = concat({wireOf(1, "ab"), wireOf(2, ""), wireOf(3, "hello")});
  const Outcome whole = frameWhole(stream);
  ASSERT_EQ(3u, whole.pdus.size());
  const size_t n = stream.size();
  for (size_t a = 0; a <= n; ++a) {
    for (size_t b = a; b <= n; ++b) {
      ASSERT_EQ(whole, frame(stream, {a, b - a, n - b})) << a << "," << b;
    }
  }
}

TEST(PDUFramer, RandomChunkingsOfALongStreamKeepEveryPduAndBoundedMemory) {
  std::mt19937 random(12345);
  std::vector<Bytes> pdus;
  for (int i = 0; i < 600; ++i) {
    pdus.push_back(wireOf(i + 1, std::string(random() % 300, static_cast<char>('a' + i % 26))));
  }
  const Bytes stream = concat(pdus);
  const Outcome whole = frameWhole(stream);
  ASSERT_EQ(pdus.size(), whole.pdus.size());
  for (size_t i = 0; i < pdus.size(); ++i) ASSERT_EQ(hexOf(pdus[i]), hexOf(whole.pdus[i]));

  const int max = 400;
  for (int round = 0; round < 12; ++round) {
    PDUFramer framer(max);
    Outcome outcome;
    size_t pos = 0;
    const size_t largest = round < 6 ? 8 : 5000;
    while (pos < stream.size()) {
      const size_t chunk = std::min<size_t>(1 + random() % largest, stream.size() - pos);
      ASSERT_TRUE(framer.feed(stream.data() + pos, chunk));
      pos += chunk;
      // Held before draining: at most one incomplete PDU plus the chunk just fed.
      ASSERT_LT(framer.buffered(), static_cast<size_t>(max) + chunk);
      drain(framer, outcome);
      ASSERT_LT(framer.buffered(), static_cast<size_t>(max));
    }
    outcome.held = framer.buffered();
    ASSERT_EQ(whole, outcome) << "round " << round;
  }
}

TEST(PDUFramer, FramingErrorsAreReportedAfterThePdusBeforeThemAndStick) {
  const Bytes good = wireOf(1, "ok");
  const int max = 64;
  struct Case {
    const char* length;
    uint32_t value;
  } cases[] = {{"00 00 00 00", 0},
               {"00 00 00 0F", 15},
               {"00 00 00 41", 65},
               {"FF FF FF FF", 0xFFFFFFFFu},
               {"80 00 00 10", 0x80000010u}};
  for (const Case& c : cases) {
    Bytes stream = good;
    const Bytes bad = bytesFromHex(c.length);
    stream.insert(stream.end(), bad.begin(), bad.end());
    // The bad header is found as soon as its length field is complete.
    Outcome outcome = frameWhole(stream, max);
    ASSERT_EQ(1u, outcome.pdus.size()) << c.length;
    EXPECT_EQ(hexOf(good), hexOf(outcome.pdus[0]));
    EXPECT_TRUE(outcome.failed) << c.length;
    EXPECT_EQ(0u, outcome.held) << c.length;

    PDUFramer framer(max);
    ASSERT_TRUE(framer.feed(stream.data(), stream.size()));
    CIPByteBuffer pdu;
    ASSERT_EQ(Result::kFrame, framer.next(pdu));
    const std::string handedOut = hexOf(pdu);
    EXPECT_EQ(Result::kFramingError, framer.next(pdu));
    EXPECT_EQ(handedOut, hexOf(pdu)) << "a failed next leaves the buffer alone";
    EXPECT_TRUE(framer.failed());
    EXPECT_EQ(c.value, framer.badLength());
    EXPECT_EQ(good.size(), framer.badOffset());
    // Whatever follows, even a sound PDU, is ignored.
    EXPECT_FALSE(framer.feed(good.data(), good.size()));
    EXPECT_EQ(Result::kFramingError, framer.next(pdu));
    EXPECT_EQ(0u, framer.buffered());
  }
}

TEST(PDUFramer, TheLimitsThemselvesAreFrames) {
  Bytes smallest = wireOf(1, "");
  smallest.resize(16);
  smallest[3] = 16;
  Bytes largest = wireOf(2, std::string(64 - TestPdu::wireLength(0), 'z'));
  ASSERT_EQ(64u, largest.size());
  const Outcome outcome = frameWhole(concat({smallest, largest}), 64);
  EXPECT_EQ(2u, outcome.pdus.size());
  EXPECT_FALSE(outcome.failed);

  EXPECT_EQ(1 << 20, PDUFramer().maxFrameLength());
  EXPECT_EQ(PDUFramer::kDefaultMaxFrameLength, PDUFramer().maxFrameLength());
  EXPECT_EQ(16, PDUFramer(3).maxFrameLength());
  EXPECT_EQ(16, PDUFramer(-1).maxFrameLength());
  EXPECT_TRUE(frameWhole(smallest, 3).pdus.size() == 1);
}

TEST(PDUFramer, GrowingByteByByteCopiesHeldBytesOnlyOnGeometricGrowth) {
  // Were every chunk to copy what is held, a 60,000-byte PDU fed a byte at a time would cost
  // 60,000 allocations; geometric growth needs a handful.
  const Bytes big = wireOf(1, std::string(60000, 'b'));
  PDUFramer framer;
  const long before = orvelpdu::test::allocationCount();
  for (unsigned char byte : big) ASSERT_TRUE(framer.feed(&byte, 1));
  const long growth = orvelpdu::test::allocationCount() - before;
  EXPECT_LE(growth, 16);
  // Everything held is the one PDU: it changes hands without another allocation.
  CIPByteBuffer pdu;
  const long beforeNext = orvelpdu::test::allocationCount();
  ASSERT_EQ(Result::kFrame, framer.next(pdu));
  EXPECT_EQ(beforeNext, orvelpdu::test::allocationCount());
  EXPECT_EQ(big.size(), pdu.getLength());
  EXPECT_EQ(0, std::memcmp(big.data(), pdu.getBuffer(), big.size()));
}

// A frame of `length` bytes: its command length, then zero bytes.
Bytes frameOf(std::uint32_t length) {
  Bytes frame(length);
  orvelpdu::detail::storeBig32(frame.data(), length);
  return frame;
}

// Bytes a buffer's block holds: what releasing it gives back to the heap.
long blockBytes(CIPByteBuffer& buffer) {
  const long before = orvelpdu::test::liveBytes();
  buffer.empty();
  return before - orvelpdu::test::liveBytes();
}

// A receiver that queues the PDUs it is handed keeps no more than about each PDU's own bytes
// alive: the last PDU of a large chunk, all that the framer then holds, takes the framer's
// block with it only when that block is not much larger than the PDU.
TEST(PDUFramer, EachPduHandedOutHoldsABlockNotMuchLargerThanItself) {
  for (std::uint32_t length : {16u, 300u, 5000u}) {
    for (size_t perChunk : {1u, 3u, 200u}) {
      Bytes chunk;
      for (size_t i = 0; i < perChunk; ++i) {
        const Bytes frame = frameOf(length);
        chunk.insert(chunk.end(), frame.begin(), frame.end());
      }
      PDUFramer framer;
      CIPByteBuffer pdu;
      for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(framer.feed(chunk.data(), chunk.size()));
        for (size_t i = 0; i < perChunk; ++i) {
          ASSERT_EQ(Result::kFrame, framer.next(pdu));
          ASSERT_EQ(length, pdu.getLength());
          // Allocator rounding aside, at most twice the PDU's bytes, or the smallest block
          // a buffer grows into.
          EXPECT_LE(blockBytes(pdu), std::max(2L * length, 512L) + 32)
              << "PDU " << i << " of " << perChunk << " PDUs of " << length << " bytes";
        }
      }
    }
  }
}

// Frames of up to 1 MiB fed in 4 KiB chunks, drained after every chunk: the framer holds at
// most one incomplete PDU plus one chunk, and its storage stays within twice that.
TEST(PDUFramer, StorageStaysWithinTwiceOneIncompletePduAndOneChunk) {
  constexpr size_t kChunk = 4096;
  for (std::uint32_t length : {1u << 20, (1u << 20) - 1000, 70000u}) {
    Bytes stream;
    for (int i = 0; i < 4; ++i) {
      const Bytes frame = frameOf(length);
      stream.insert(stream.end(), frame.begin(), frame.end());
    }
    const long base = orvelpdu::test::liveBytes();
    long peak = 0;
    {
      PDUFramer framer;
      CIPByteBuffer pdu;
      size_t frames = 0;
      for (size_t pos = 0; pos < stream.size(); pos += kChunk) {
        ASSERT_TRUE(framer.feed(stream.data() + pos, std::min(kChunk, stream.size() - pos)));
        peak = std::max(peak, orvelpdu::test::liveBytes() - base);
        while (framer.next(pdu) == Result::kFrame) {
          ++frames;
          pdu.empty();
        }
      }
      ASSERT_EQ(4u, frames);
    }
    EXPECT_LE(peak, 2L * static_cast<long>(length + kChunk) + 4096)
        << "frames of " << length << " bytes";
  }
}

TEST(PDUFramer, AllocationFailureLosesNoByte) {
  const Bytes a = wireOf(1, "first");
  const Bytes b = wireOf(2, "second");
  PDUFramer framer;
  {
    ScopedAllocationFailure failure(1);
    EXPECT_THROW(framer.feed(a.data(), a.size()), std::bad_alloc);
  }
  EXPECT_EQ(0u, framer.buffered());
  ASSERT_TRUE(framer.feed(a.data(), a.size()));
  ASSERT_TRUE(framer.feed(b.data(), b.size()));
  CIPByteBuffer pdu;
  {
    // Two PDUs held: the first must be copied out, and that copy fails.
    ScopedAllocationFailure failure(1);
    EXPECT_THROW((void)framer.next(pdu), std::bad_alloc);
  }
  EXPECT_EQ(a.size() + b.size(), framer.buffered());
  ASSERT_EQ(Result::kFrame, framer.next(pdu));
  EXPECT_EQ(hexOf(a), hexOf(pdu));
  ASSERT_EQ(Result::kFrame, framer.next(pdu));
  EXPECT_EQ(hexOf(b), hexOf(pdu));
  EXPECT_EQ(Result::kNeedMore, framer.next(pdu));
}

}  // namespace

// Fuzzing of the receiving tools: the PDU framer and the strict TLV frame parser, each run on
// the same bytes once as one piece and once as they would arrive from a socket, in chunks of
// sizes drawn from the input. Both runs must give the same results: the same PDUs in the same
// order, the same framing error at the same offset, the same TLV frames with the same
// verdicts, the same bytes left over. Each result is also checked against an independent
// reading of the bytes: a PDU is exactly the command length bytes at its offset, a framing
// error names a length outside 16..max, a frame cut short consumes nothing, and a value taken
// by an octet or integer TLV encodes back to its frame.
//
// Input: byte 0 picks the framer's maximum frame length, bytes 1-4 seed the chunk sizes, the
// rest is the stream.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/buffer/CheckedReads.h"
#include "orvelpdu/stream/PDUFramer.h"
#include "orvelpdu/tlv/CTLVByte.h"
#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVString.h"
#include "orvelpdu/tlv/TLVFrame.h"

namespace {

using orvelpdu::PDUFramer;
using orvelpdu::fuzz::bufferOf;
using orvelpdu::fuzz::Bytes;
using orvelpdu::fuzz::check;
using orvelpdu::fuzz::Chunks;
using orvelpdu::fuzz::contentOf;
using orvelpdu::fuzz::loadBig;

struct FramerOutcome {
  std::vector<Bytes> pdus;
  bool failed = false;
  uint32_t badLength = 0;
  uint64_t badOffset = 0;
  size_t held = 0;
  bool operator==(const FramerOutcome&) const = default;
};

void drain(PDUFramer& framer, FramerOutcome& outcome) {
  CIPByteBuffer pdu;
  for (;;) {
    const PDUFramer::Result r = framer.next(pdu);
    if (r != PDUFramer::Result::kFrame) {
      outcome.failed = r == PDUFramer::Result::kFramingError;
      return;
    }
    outcome.pdus.push_back(contentOf(pdu));
  }
}

FramerOutcome frame(const Bytes& stream, int max, Chunks* chunks) {
  PDUFramer framer(max);
  FramerOutcome outcome;
  size_t pos = 0;
  while (pos < stream.size()) {
    const size_t n = chunks == nullptr ? stream.size() : chunks->next(stream.size() - pos);
    framer.feed(stream.data() + pos, n);
    pos += n;
    drain(framer, outcome);
    check(outcome.failed || framer.buffered() < static_cast<size_t>(max),
          "after draining, less than one maximum frame is held");
  }
  drain(framer, outcome);
  outcome.badLength = framer.badLength();
  outcome.badOffset = framer.badOffset();
  outcome.held = framer.buffered();
  return outcome;
}

// What one piece must give, from the bytes alone.
void checkFramerAgainstTheBytes(const Bytes& stream, int max, const FramerOutcome& outcome) {
  size_t pos = 0;
  for (const Bytes& pdu : outcome.pdus) {
    check(pos + 4 <= stream.size(), "a PDU lies inside the stream");
    const uint32_t length = loadBig(stream, pos, 4);
    check(length >= 16 && length <= static_cast<uint32_t>(max), "a PDU's length is in range");
    check(pdu.size() == length, "a PDU is its command length long");
    check(Bytes(stream.begin() + static_cast<long>(pos),
                stream.begin() + static_cast<long>(pos + length)) == pdu,
          "a PDU is the bytes at its offset");
    pos += length;
  }
  if (outcome.failed) {
    check(outcome.badOffset == pos && pos + 4 <= stream.size(), "the error is at the next PDU");
    const uint32_t length = loadBig(stream, pos, 4);
    check(length == outcome.badLength, "the error names the length received");
    check(length < 16 || length > static_cast<uint32_t>(max), "only a bad length fails");
    check(outcome.held == 0, "a failed framer holds nothing");
    return;
  }
  const size_t left = stream.size() - pos;
  check(outcome.held == left, "every byte not handed out is held");
  check(left < 4 || (loadBig(stream, pos, 4) >= 16 && loadBig(stream, pos, 4) > left),
        "what is held is no whole PDU");
}

// One TLV of a type picked by the tag's low bits.
struct AnyTLV {
  CTLVOctets octets;
  CTLVInt number;
  CTLVShort shortNumber;
  CTLVByte byte;
  CTLVEmpty flag;
  CTLVString text;
  CTLV& pick(short tag) {
    switch (static_cast<unsigned>(tag) % 6) {
      case 0:
        return octets;
      case 1:
        return number;
      case 2:
        return shortNumber;
      case 3:
        return byte;
      case 4:
        return flag;
      default:
        return text;
    }
  }
};

struct FrameRecord {
  short tag;
  bool skipped;
  orvelpdu::TLVFrameResult result;
  Bytes encoding;  // the TLV's getData after a take, or the skipped frame
  bool operator==(const FrameRecord&) const = default;
};

// Parses whole frames from the front of `in` for as long as there are any; a frame cut short
// must leave `in` exactly as it was.
void parseFrames(CIPByteBuffer& in, std::vector<FrameRecord>& log) {
  for (;;) {
    const Bytes before = contentOf(in);
    orvelpdu::TLVFrameHead head;
    const bool whole = orvelpdu::holdsTLVFrame(in);
    if (!whole) {
      AnyTLV probe;
      check(orvelpdu::parseTLVFrame(in, probe.octets) == orvelpdu::TLVFrameResult::kCutShort,
            "a frame that is not whole is cut short");
      check(!orvelpdu::skipTLVFrame(in), "a frame cut short is not skipped");
      check(contentOf(in) == before, "a frame cut short consumes nothing");
      check(probe.octets.getTag() == 0 && probe.octets.hasValue() == 0, "nor touches the TLV");
      return;
    }
    check(orvelpdu::peekTLVFrame(in, 0, head), "a whole frame has a head");
    const Bytes frame(before.begin(), before.begin() + static_cast<long>(head.frameSize()));
    if (head.tag < 0) {  // tags with the top bit set stand for unknown ones
      check(orvelpdu::skipTLVFrame(in), "a whole frame is skipped");
      log.push_back({head.tag, true, orvelpdu::TLVFrameResult::kCutShort, frame});
    } else {
      AnyTLV tlvs;
      CTLV& tlv = tlvs.pick(head.tag);
      const orvelpdu::TLVFrameResult result = orvelpdu::parseTLVFrame(in, tlv);
      check(result != orvelpdu::TLVFrameResult::kCutShort, "a whole frame is parsed");
      check(tlv.getTag() == head.tag, "the TLV takes the frame's tag");
      CIPByteBuffer out;
      if (result == orvelpdu::TLVFrameResult::kTaken) {
        check(tlv.getData(out) == 1, "a value taken encodes");
        if (&tlv != &tlvs.text) check(contentOf(out) == frame, "and encodes back to its frame");
      } else {
        check(tlv.hasValue() == 0, "a refused value is not taken");
      }
      log.push_back({head.tag, false, result, contentOf(out)});
    }
    check(
        contentOf(in) == Bytes(before.begin() + static_cast<long>(head.frameSize()), before.end()),
        "a whole frame is consumed exactly");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5 || size > 200000) return 0;
  static const int kMaxima[] = {16, 20, 64, 300, 4096, PDUFramer::kDefaultMaxFrameLength};
  const int max = kMaxima[data[0] % 6];
  const uint32_t seed = loadBig(data + 1, 4);
  const Bytes stream(data + 5, data + size);

  const FramerOutcome whole = frame(stream, max, nullptr);
  checkFramerAgainstTheBytes(stream, max, whole);
  Chunks chunks(seed);
  check(frame(stream, max, &chunks) == whole, "chunked framing gives what one piece gives");

  std::vector<FrameRecord> wholeFrames;
  CIPByteBuffer all = bufferOf(stream);
  parseFrames(all, wholeFrames);
  std::vector<FrameRecord> chunkedFrames;
  CIPByteBuffer in;
  Chunks frameChunks(seed ^ 0x9E3779B9u);
  for (size_t pos = 0; pos < stream.size();) {
    const size_t n = frameChunks.next(stream.size() - pos);
    in.appendBytes0(const_cast<uint8_t*>(stream.data() + pos), static_cast<int>(n));
    pos += n;
    parseFrames(in, chunkedFrames);
  }
  check(chunkedFrames == wholeFrames, "chunked frames give what one piece gives");
  check(contentOf(in) == contentOf(all), "and leave the same bytes");
  return 0;
}

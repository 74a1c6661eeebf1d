// Runs one of the benchmarks' round trips a given number of times, for instruction counts
// under callgrind, which the noisy timings of a shared machine cannot give:
//
//   valgrind --tool=callgrind --toggle-collect='*measuredRounds*' orvelpdu_rounds CASE N
//
// counts the instructions of N round trips (after 100 uncounted ones that warm the
// allocator); divide by N. CASE is one of submit-library (the example's described
// SubmitText), submit-onlib (the same PDU written by hand on the library), submit-hand,
// lean-library, lean-described, lean-hand, header-library, header-hand; and the SubmitText's
// encoding or parse alone: encode-library, parse-library, encode-onlib, parse-onlib.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/HandCodec.h"
#include "support/LeanPdu.h"
#include "support/Representative.h"
#include "support/onlib/SubmitText.h"
#include "textmsg/SubmitText.h"

namespace {

using orvelpdu::bench::HandLean;
using orvelpdu::bench::LeanPdu;

// Keeps a result alive without the optimiser dropping the work that made it.
std::atomic<long> sink{0};

class BarePdu : public CPDU {
 public:
  int getData(CIPByteBuffer& out) override { return getHeader(out); }
  int setData(CIPByteBuffer& in) override { return setHeader(in); }
};

struct HandHeader {
  std::atomic<long> owners{1};
  std::int32_t fields[4] = {0, 0, 0, 1};
};

// A SubmitText encoding or parse alone, on either side: the bytes of the representative PDU,
// made once.
template <class Pdu>
struct OneWay {
  Pdu source;
  CIPByteBuffer wire;
  OneWay() {
    orvelpdu::bench::fillRepresentative(source);
    source.getData(wire);
  }
  long encode() {
    CIPByteBuffer out;
    return source.getData(out);
  }
  long parse() {
    CIPByteBuffer in;
    in.appendBytes0(wire.getBuffer(), static_cast<int>(wire.getLength()));
    Pdu pdu;
    return pdu.setData(in);
  }
};

struct Cases {
  OneWay<textmsg::SubmitText> described;
  OneWay<onlib::SubmitText> onlib;
  textmsg::SubmitText submit;
  onlib::SubmitText submitOnlib;
  orvelpdu::bench::DescribedLean leanDescribed;
  handcodec::SubmitText submitHand = orvelpdu::bench::representativeMessage();
  LeanPdu lean;
  HandLean leanHand = orvelpdu::bench::leanMessage();
  Cases() {
    orvelpdu::bench::fillRepresentative(submit);
    orvelpdu::bench::fillRepresentative(submitOnlib);
    orvelpdu::bench::fillLean(lean);
    orvelpdu::bench::fillLean(leanDescribed);
  }
};

// A library round trip with new objects: `source` encoded, the bytes parsed into a new PDU.
template <class Pdu>
long roundTrip(Pdu& source) {
  CIPByteBuffer wire;
  source.getData(wire);
  Pdu pdu;
  return pdu.setData(wire);
}

void once(Cases& c, int which) {
  switch (which) {
    case 0:
      sink += roundTrip(c.submit);
      break;
    case 1: {
      const std::size_t size = handcodec::encodedSize(c.submitHand);
      std::unique_ptr<std::uint8_t[]> wire(new std::uint8_t[size]);
      handcodec::encode(c.submitHand, wire.get());
      handcodec::SubmitText message;
      std::size_t consumed = 0;
      sink += handcodec::parse(wire.get(), size, message, consumed) == nullptr;
      break;
    }
    case 2:
      sink += roundTrip(c.lean);
      break;
    case 3: {
      const std::size_t size = orvelpdu::bench::handSize(c.leanHand);
      std::unique_ptr<std::uint8_t[]> wire(new std::uint8_t[size]);
      orvelpdu::bench::encodeHand(c.leanHand, wire.get());
      HandLean message;
      sink += orvelpdu::bench::parseHand(wire.get(), size, message);
      break;
    }
    case 6:
      sink += roundTrip(c.submitOnlib);
      break;
    case 7:
      sink += roundTrip(c.leanDescribed);
      break;
    case 8:
      sink += c.described.encode();
      break;
    case 9:
      sink += c.described.parse();
      break;
    case 10:
      sink += c.onlib.encode();
      break;
    case 11:
      sink += c.onlib.parse();
      break;
    case 4: {
      BarePdu pdu;
      sink += pdu.getCommandId();
      break;
    }
    default: {
      std::unique_ptr<HandHeader> header(new HandHeader);
      sink += header->fields[1];
      break;
    }
  }
}

__attribute__((noinline)) void measuredRounds(Cases& c, int which, long n) {
  for (long i = 0; i < n; ++i) once(c, which);
}

}  // namespace

int main(int argc, char** argv) {
  static const char* const kNames[] = {"submit-library", "lean-library",   "header-library",
                                       "submit-hand",    "lean-hand",      "header-hand",
                                       "submit-onlib",   "lean-described", "encode-library",
                                       "parse-library",  "encode-onlib",   "parse-onlib"};
  static const int kCase[] = {0, 2, 4, 1, 3, 5, 6, 7, 8, 9, 10, 11};
  int which = -1;
  for (int i = 0; argc == 3 && i < 12; ++i) {
    if (std::strcmp(argv[1], kNames[i]) == 0) which = kCase[i];
  }
  const long n = argc == 3 ? std::atol(argv[2]) : 0;
  if (which < 0 || n <= 0) {
    std::fprintf(stderr, "usage: %s CASE N (CASE: submit|lean|header - library|hand)\n", argv[0]);
    return 2;
  }
  Cases cases;
  for (int i = 0; i < 100; ++i) once(cases, which);
  measuredRounds(cases, which, n);
  std::printf("%s: %ld round trips, checksum %ld\n", argv[1], n, sink.load());
  return 0;
}

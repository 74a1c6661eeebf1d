// The representative PDU through the library (the example's described SubmitText), through
// the same PDU written by hand on the library ("onlib", as the example was before PDUs were
// described) and through the hand-written codec of the same bytes, side by side: encode, parse and
// round trip, each once with new objects per operation and once reusing one PDU object (or struct)
// and one buffer (or byte array).
//
// What one iteration does, on either side:
//   encode     the PDU (built once, before the loop) into bytes;
//   parse      the received bytes into a PDU. On the library's side this includes putting
//              the bytes into a CIPByteBuffer (appendBytes0), the library's way in for
//              received bytes; the hand-written parser reads the byte array in place;
//   round trip encode, then parse the bytes just made.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "support/HandCodec.h"
#include "support/Measure.h"
#include "support/Representative.h"
#include "support/onlib/SubmitText.h"
#include "textmsg/SubmitText.h"

namespace {

using orvelpdu::bench::AllocationTally;
using orvelpdu::bench::fillRepresentative;
using orvelpdu::bench::representativeMessage;
using orvelpdu::bench::representativeWire;

unsigned char* wireBytes() { return const_cast<std::uint8_t*>(representativeWire().data()); }
int wireLength() { return static_cast<int>(representativeWire().size()); }

// ---- Library ----

template <class SubmitText>
void encodeFreshLibrary(benchmark::State& state) {
  SubmitText pdu;
  fillRepresentative(pdu);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer out;
      pdu.getData(out);
      benchmark::DoNotOptimize(out.getBuffer());
    }
    tally.end();
  }
  tally.report(state);
}

template <class SubmitText>
void parseFreshLibrary(benchmark::State& state) {
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer in;
      in.appendBytes0(wireBytes(), wireLength());
      SubmitText pdu;
      benchmark::DoNotOptimize(pdu.setData(in));
    }
    tally.end();
  }
  tally.report(state);
}

template <class SubmitText>
void roundTripFreshLibrary(benchmark::State& state) {
  SubmitText source;
  fillRepresentative(source);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer wire;
      source.getData(wire);
      SubmitText pdu;
      benchmark::DoNotOptimize(pdu.setData(wire));
    }
    tally.end();
  }
  tally.report(state);
}

template <class SubmitText>
void encodeReusedLibrary(benchmark::State& state) {
  SubmitText pdu;
  fillRepresentative(pdu);
  CIPByteBuffer out;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    // Length 0 with the block kept: the next encode appends into the same storage.
    out.setLength(0);
    pdu.getData(out);
    benchmark::DoNotOptimize(out.getBuffer());
    tally.end();
  }
  tally.report(state);
}

template <class SubmitText>
void parseReusedLibrary(benchmark::State& state) {
  SubmitText pdu;
  CIPByteBuffer in;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    in.appendBytes0(wireBytes(), wireLength());
    benchmark::DoNotOptimize(pdu.setData(in));
    tally.end();
  }
  tally.report(state);
}

template <class SubmitText>
void roundTripReusedLibrary(benchmark::State& state) {
  SubmitText source;
  fillRepresentative(source);
  SubmitText pdu;
  CIPByteBuffer wire;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    source.getData(wire);
    benchmark::DoNotOptimize(pdu.setData(wire));
    tally.end();
  }
  tally.report(state);
}

// ---- Hand-written ----

void encodeFreshHand(benchmark::State& state) {
  const handcodec::SubmitText message = representativeMessage();
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[handcodec::encodedSize(message)]);
      benchmark::DoNotOptimize(handcodec::encode(message, out.get()));
      benchmark::ClobberMemory();
    }
    tally.end();
  }
  tally.report(state);
}

void parseFreshHand(benchmark::State& state) {
  const std::vector<std::uint8_t>& wire = representativeWire();
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      handcodec::SubmitText message;
      std::size_t consumed = 0;
      benchmark::DoNotOptimize(handcodec::parse(wire.data(), wire.size(), message, consumed));
      benchmark::ClobberMemory();
    }
    tally.end();
  }
  tally.report(state);
}

void roundTripFreshHand(benchmark::State& state) {
  const handcodec::SubmitText source = representativeMessage();
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      const std::size_t size = handcodec::encodedSize(source);
      std::unique_ptr<std::uint8_t[]> wire(new std::uint8_t[size]);
      handcodec::encode(source, wire.get());
      handcodec::SubmitText message;
      std::size_t consumed = 0;
      benchmark::DoNotOptimize(handcodec::parse(wire.get(), size, message, consumed));
      benchmark::ClobberMemory();
    }
    tally.end();
  }
  tally.report(state);
}

void encodeReusedHand(benchmark::State& state) {
  const handcodec::SubmitText message = representativeMessage();
  std::vector<std::uint8_t> out(handcodec::encodedSize(message));
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    benchmark::DoNotOptimize(handcodec::encode(message, out.data()));
    benchmark::ClobberMemory();
    tally.end();
  }
  tally.report(state);
}

void parseReusedHand(benchmark::State& state) {
  const std::vector<std::uint8_t>& wire = representativeWire();
  handcodec::SubmitText message;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    std::size_t consumed = 0;
    benchmark::DoNotOptimize(handcodec::parse(wire.data(), wire.size(), message, consumed));
    benchmark::ClobberMemory();
    tally.end();
  }
  tally.report(state);
}

void roundTripReusedHand(benchmark::State& state) {
  const handcodec::SubmitText source = representativeMessage();
  handcodec::SubmitText message;
  std::vector<std::uint8_t> wire(handcodec::encodedSize(source));
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    const std::size_t size = handcodec::encode(source, wire.data());
    std::size_t consumed = 0;
    benchmark::DoNotOptimize(handcodec::parse(wire.data(), size, message, consumed));
    benchmark::ClobberMemory();
    tally.end();
  }
  tally.report(state);
}

using orvelpdu::bench::keyComparison;

BENCHMARK(encodeFreshLibrary<textmsg::SubmitText>)
    ->Name("SubmitText/encode_fresh/library")
    ->Apply(keyComparison);
BENCHMARK(encodeFreshLibrary<onlib::SubmitText>)
    ->Name("SubmitText/encode_fresh/onlib")
    ->Apply(keyComparison);
BENCHMARK(encodeFreshHand)->Name("SubmitText/encode_fresh/hand")->Apply(keyComparison);
BENCHMARK(parseFreshLibrary<textmsg::SubmitText>)
    ->Name("SubmitText/parse_fresh/library")
    ->Apply(keyComparison);
BENCHMARK(parseFreshLibrary<onlib::SubmitText>)
    ->Name("SubmitText/parse_fresh/onlib")
    ->Apply(keyComparison);
BENCHMARK(parseFreshHand)->Name("SubmitText/parse_fresh/hand")->Apply(keyComparison);
BENCHMARK(roundTripFreshLibrary<textmsg::SubmitText>)
    ->Name("SubmitText/roundtrip_fresh/library")
    ->Apply(keyComparison);
BENCHMARK(roundTripFreshLibrary<onlib::SubmitText>)
    ->Name("SubmitText/roundtrip_fresh/onlib")
    ->Apply(keyComparison);
BENCHMARK(roundTripFreshHand)->Name("SubmitText/roundtrip_fresh/hand")->Apply(keyComparison);
BENCHMARK(encodeReusedLibrary<textmsg::SubmitText>)
    ->Name("SubmitText/encode_reused/library")
    ->Apply(keyComparison);
BENCHMARK(encodeReusedLibrary<onlib::SubmitText>)
    ->Name("SubmitText/encode_reused/onlib")
    ->Apply(keyComparison);
BENCHMARK(encodeReusedHand)->Name("SubmitText/encode_reused/hand")->Apply(keyComparison);
BENCHMARK(parseReusedLibrary<textmsg::SubmitText>)
    ->Name("SubmitText/parse_reused/library")
    ->Apply(keyComparison);
BENCHMARK(parseReusedLibrary<onlib::SubmitText>)
    ->Name("SubmitText/parse_reused/onlib")
    ->Apply(keyComparison);
BENCHMARK(parseReusedHand)->Name("SubmitText/parse_reused/hand")->Apply(keyComparison);
BENCHMARK(roundTripReusedLibrary<textmsg::SubmitText>)
    ->Name("SubmitText/roundtrip_reused/library")
    ->Apply(keyComparison);
BENCHMARK(roundTripReusedLibrary<onlib::SubmitText>)
    ->Name("SubmitText/roundtrip_reused/onlib")
    ->Apply(keyComparison);
BENCHMARK(roundTripReusedHand)->Name("SubmitText/roundtrip_reused/hand")->Apply(keyComparison);

}  // namespace

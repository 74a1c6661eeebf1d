// The lean client PDU (support/LeanPdu.h) beside its hand-written twin, round trip with new
// objects every iteration, on 1 and on 2 threads; and the life of a PDU header (created,
// registered, unregistered, freed) beside a plain allocation of the same kind of block.
//
// With several threads each thread runs its own loop; the CPU time reported is the sum over
// the threads divided by the sum of their iterations, i.e. CPU time per round trip per
// thread. On a machine with few, shared cores this is the figure that shows contention (a
// lock that threads meet at costs CPU time on both), where wall-clock scaling would mostly
// show the other load.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "orvelpdu/orvelpdu.h"
#include "support/LeanPdu.h"
#include "support/Measure.h"

namespace {

using orvelpdu::bench::AllocationTally;
using orvelpdu::bench::HandLean;
using orvelpdu::bench::LeanPdu;

template <class Pdu>
void leanRoundTripLibrary(benchmark::State& state) {
  Pdu source;
  orvelpdu::bench::fillLean(source);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer wire;
      source.getData(wire);
      Pdu pdu;
      benchmark::DoNotOptimize(pdu.setData(wire));
    }
    tally.end();
  }
  tally.report(state);
}

void leanRoundTripHand(benchmark::State& state) {
  const HandLean source = orvelpdu::bench::leanMessage();
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      const std::size_t size = orvelpdu::bench::handSize(source);
      std::unique_ptr<std::uint8_t[]> wire(new std::uint8_t[size]);
      orvelpdu::bench::encodeHand(source, wire.get());
      HandLean message;
      benchmark::DoNotOptimize(orvelpdu::bench::parseHand(wire.get(), size, message));
      benchmark::ClobberMemory();
    }
    tally.end();
  }
  tally.report(state);
}

// A PDU with nothing but its header.
class BarePdu : public CPDU {
 public:
  int getData(CIPByteBuffer& out) override { return getHeader(out); }
  int setData(CIPByteBuffer& in) override { return setHeader(in); }
};

// A header comes to life on first use of a PDU's header fields and goes with the PDU.
void headerLifeLibrary(benchmark::State& state) {
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      BarePdu pdu;
      benchmark::DoNotOptimize(pdu.getCommandId());
    }
    tally.end();
  }
  tally.report(state);
}

// The hand-written equivalent: a shared-owner count and four fields in one allocation.
struct HandHeader {
  std::atomic<long> owners{1};
  std::int32_t fields[4] = {0, 0, 0, 1};
};

void headerLifeHand(benchmark::State& state) {
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      std::unique_ptr<HandHeader> header(new HandHeader);
      benchmark::DoNotOptimize(header->fields[1]);
    }
    tally.end();
  }
  tally.report(state);
}

void oneAndTwoThreads(benchmark::internal::Benchmark* benchmark) {
  orvelpdu::bench::keyComparison(benchmark);
  benchmark->Threads(1)->Threads(2);
}

BENCHMARK(leanRoundTripLibrary<LeanPdu>)
    ->Name("Lean/roundtrip_fresh/library")
    ->Apply(oneAndTwoThreads);
BENCHMARK(leanRoundTripLibrary<orvelpdu::bench::DescribedLean>)
    ->Name("Lean/roundtrip_fresh/described")
    ->Apply(oneAndTwoThreads);
BENCHMARK(leanRoundTripHand)->Name("Lean/roundtrip_fresh/hand")->Apply(oneAndTwoThreads);
BENCHMARK(headerLifeLibrary)->Name("Header/create_release/library")->Apply(oneAndTwoThreads);
BENCHMARK(headerLifeHand)->Name("Header/create_release/hand")->Apply(oneAndTwoThreads);

}  // namespace

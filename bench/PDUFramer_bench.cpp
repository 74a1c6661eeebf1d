// Framing a received stream of 300-byte PDUs that arrives in 1,460-byte chunks (a TCP
// segment's payload): the framer fed every chunk and drained after each, every PDU handed out
// in a buffer of its own; beside it, the floor any framer has, memcpy moving every byte once
// into a receive area and once out into a PDU buffer, with no framing decision at all. Both
// report bytes per second over the stream.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/stream/PDUFramer.h"
#include "support/Measure.h"

namespace {

constexpr std::size_t kPduBytes = 300;
constexpr std::size_t kChunkBytes = 1460;
constexpr std::size_t kPdus = 1000;

std::vector<unsigned char> streamOfPdus() {
  std::vector<unsigned char> stream(kPdus * kPduBytes);
  for (std::size_t i = 0; i < kPdus; ++i) {
    unsigned char* pdu = stream.data() + i * kPduBytes;
    orvelpdu::detail::storeBig32(pdu, static_cast<std::uint32_t>(kPduBytes));
    for (std::size_t b = 4; b < kPduBytes; ++b) pdu[b] = static_cast<unsigned char>(i + b);
  }
  return stream;
}

void framePdus(benchmark::State& state) {
  const std::vector<unsigned char> stream = streamOfPdus();
  orvelpdu::bench::AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    orvelpdu::PDUFramer framer;
    CIPByteBuffer pdu;
    std::size_t frames = 0;
    for (std::size_t pos = 0; pos < stream.size(); pos += kChunkBytes) {
      framer.feed(stream.data() + pos, std::min(kChunkBytes, stream.size() - pos));
      while (framer.next(pdu) == orvelpdu::PDUFramer::Result::kFrame) ++frames;
    }
    benchmark::DoNotOptimize(frames);
    tally.end();
  }
  tally.report(state, kPdus);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

void copyPdus(benchmark::State& state) {
  const std::vector<unsigned char> stream = streamOfPdus();
  std::vector<unsigned char> received(kChunkBytes + kPduBytes);
  std::vector<unsigned char> pdu(kPduBytes);
  for (auto _ : state) {
    std::size_t held = 0;
    for (std::size_t pos = 0; pos < stream.size(); pos += kChunkBytes) {
      const std::size_t chunk = std::min(kChunkBytes, stream.size() - pos);
      std::memcpy(received.data() + held, stream.data() + pos, chunk);
      held += chunk;
      std::size_t at = 0;
      for (; held - at >= kPduBytes; at += kPduBytes) {
        std::memcpy(pdu.data(), received.data() + at, kPduBytes);
        benchmark::ClobberMemory();
      }
      std::memmove(received.data(), received.data() + at, held - at);
      held -= at;
    }
    benchmark::DoNotOptimize(pdu.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}

BENCHMARK(framePdus)
    ->Name("Framer/300B_pdus_in_1460B_chunks/library")
    ->Apply(orvelpdu::bench::keyComparison);
BENCHMARK(copyPdus)
    ->Name("Framer/300B_pdus_in_1460B_chunks/memcpy")
    ->Apply(orvelpdu::bench::keyComparison);

}  // namespace

// PDUs per second through a real TCP connection on 127.0.0.1: the loopback exchange of the
// examples (a client sends SubmitTexts, a server answers each with a SubmitTextResp, every
// read and write of a random size up to 4 KiB), once with the library's sides (PDUFramer,
// the example protocol's strict parse, sealed encoding) and once with hand-written ones. Each
// iteration is one whole exchange of 5,000 requests with the same seed; the time is wall
// time, since the work is spread over three threads and the kernel. Re-encoding every PDU to
// compare it, which the CTest run of the exchange does, is left out on both sides.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "Exchange.h"
#include "LibraryCodec.h"
#include "support/HandLoopback.h"

namespace {

constexpr std::uint32_t kRequests = 5000;

template <class Client, class Server>
void exchange(benchmark::State& state) {
  loopback::ExchangeOptions options;
  options.count = kRequests;
  options.seed = 1;
  options.deadlineSeconds = 30;
  for (auto _ : state) {
    Client client;
    Server server;
    const loopback::ExchangeReport report = loopback::runExchange(client, server, options);
    if (!report.ok) {
      state.SkipWithError(report.error.c_str());
      return;
    }
  }
  state.counters["pdus_per_s"] =
      benchmark::Counter(static_cast<double>(kRequests) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void libraryExchange(benchmark::State& state) {
  exchange<loopback::LibraryClient, loopback::LibraryServer>(state);
}

void handExchange(benchmark::State& state) {
  exchange<orvelpdu::bench::HandClient, orvelpdu::bench::HandServer>(state);
}

}  // namespace

BENCHMARK(libraryExchange)
    ->Name("Loopback/exchange/library")
    ->Iterations(2)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(handExchange)
    ->Name("Loopback/exchange/hand")
    ->Iterations(2)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

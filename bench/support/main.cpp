// The benchmark binary's entry point: checks that the hand-written codec and the library
// agree byte for byte (aborting otherwise), runs the benchmarks selected on the command
// line, and closes with the summary tables.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "support/LeanPdu.h"
#include "support/Measure.h"
#include "support/Representative.h"
#include "support/Summary.h"

namespace orvelpdu::bench {

void keyComparison(benchmark::internal::Benchmark* benchmark) {
  benchmark->Repetitions(21)->ReportAggregatesOnly(true)->MinTime(0.1)->Unit(
      benchmark::kNanosecond);
}

void scalingSeries(benchmark::internal::Benchmark* benchmark) {
  benchmark->MinTime(0.2)->Unit(benchmark::kMicrosecond);
}

}  // namespace orvelpdu::bench

int main(int argc, char** argv) {
  // Keep freed memory in the process: by default glibc hands the top of the heap back to the
  // system whenever more than 128 KiB of it is free, and a benchmark that allocates and frees
  // 64 KiB blocks then measures page faults on every iteration rather than its own code.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  orvelpdu::bench::checkCodecsAgree();
  std::printf(
      "hand-written codec and library agree on the representative PDU, on every "
      "truncation and on every single-byte change of it\n");

  orvelpdu::bench::checkLeanTwinsAgree();
  std::printf("the lean client PDU and its hand-written twin write and read the same bytes\n");

  using Reporter = orvelpdu::bench::SummaryReporter;
  Reporter reporter(isatty(STDOUT_FILENO) ? Reporter::OO_ColorTabular : Reporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printSummary();
  benchmark::Shutdown();
  return 0;
}

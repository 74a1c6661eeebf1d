// The closing table of the benchmark run. SummaryReporter prints every run as the console
// reporter does and keeps the results, so that after the run it can set the library beside
// the hand-written codec (medians, ratios, allocations), the scaling series side by side,
// and the peak memory of parsing a large message, with the targets each is held to.
#ifndef ORVELPDU_BENCH_SUPPORT_SUMMARY_H_
#define ORVELPDU_BENCH_SUPPORT_SUMMARY_H_

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace orvelpdu::bench {

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& runs) override;

  // Prints the closing tables for whatever ran (a filtered run prints less).
  void printSummary() const;

 private:
  struct Result {
    double cpuNanoseconds = 0;  // per iteration; the median when the benchmark was repeated
    std::map<std::string, double> counters;
  };

  // The result of `name` (the registered name, with "/arg" for an argument), or null.
  const Result* find(const std::string& name) const;
  void printRepresentative() const;
  void printLean() const;
  void printScaling() const;
  void printMemory() const;
  void printLoopback() const;

  std::map<std::string, Result> results_;
};

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_SUMMARY_H_

#include "support/Summary.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace orvelpdu::bench {
namespace {

// Targets the suite is held to.
constexpr double kMaxRatio = 3.0;
constexpr double kMaxScalingSpread = 2.0;
constexpr double kMaxLeanRatio = 2.5;
constexpr double kMaxThreadGrowth = 1.2;
constexpr double kMaxAllocationsPerField = 0.01;
constexpr double kMaxParseOverhead = 4.0;
constexpr double kMaxPeakMegabytes = 3.0;
// What a parsed representative SubmitText holds on the heap itself: its header, the text
// (too long for a short-string buffer), the user data header's bytes and three recipients.
constexpr double kRepresentativeOwnAllocations = 6.0;

struct Operation {
  const char* name;
  const char* label;
};

const Operation kOperations[] = {
    {"encode_fresh", "encode (new buffer)"},         {"parse_fresh", "parse (new PDU object)"},
    {"roundtrip_fresh", "round trip (new objects)"}, {"encode_reused", "encode (reused buffer)"},
    {"parse_reused", "parse (reused PDU object)"},   {"roundtrip_reused", "round trip (reused)"},
};

struct Series {
  const char* name;
  const char* what;
  const char* unit;
};

const Series kSeries[] = {
    {"Scaling/int_fields", "int fields appended, then removed", "field"},
    {"Scaling/cstring_fields", "8-char C-string fields appended, then removed", "field"},
    {"Scaling/octets_tlv", "octet-string TLV encoded, then parsed", "byte"},
    {"Scaling/list_encode_int_count", "list items encoded (int count)", "item"},
    {"Scaling/list_parse_int_count", "list items parsed (int count)", "item"},
    {"Scaling/list_parse_short_count", "list items parsed (short count)", "item"},
};

const char* verdict(bool met) { return met ? "met" : "NOT met"; }

double counter(const std::map<std::string, double>& counters, const char* name) {
  auto it = counters.find(name);
  return it == counters.end() ? 0.0 : it->second;
}

}  // namespace

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) continue;
    const bool aggregate = run.run_type == Run::RT_Aggregate;
    if (aggregate && run.aggregate_name != "median") continue;
    // A repeated benchmark is summarised by its median alone.
    if (!aggregate && run.repetitions > 1) continue;
    std::string name = run.run_name.function_name;
    if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
    if (!run.run_name.threads.empty()) name += "/" + run.run_name.threads;
    Result& result = results_[name];
    result.cpuNanoseconds =
        run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    for (const auto& [key, value] : run.counters) result.counters[key] = value.value;
  }
  ConsoleReporter::ReportRuns(runs);
}

const SummaryReporter::Result* SummaryReporter::find(const std::string& name) const {
  auto it = results_.find(name);
  return it == results_.end() ? nullptr : &it->second;
}

void SummaryReporter::printSummary() const {
  std::printf("\n==== OrvelPDU beside a hand-written codec (CPU time, medians) ====\n");
  printRepresentative();
  printLean();
  printScaling();
  printMemory();
  printLoopback();
  std::fflush(stdout);
}

void SummaryReporter::printLoopback() const {
  const Result* lib = find("Loopback/exchange/library");
  const Result* hand = find("Loopback/exchange/hand");
  if (lib == nullptr || hand == nullptr) return;
  const double libRate = counter(lib->counters, "pdus_per_s");
  const double handRate = counter(hand->counters, "pdus_per_s");
  std::printf(
      "\nLoopback exchange over TCP on 127.0.0.1 (requests answered per second, wall time)\n");
  std::printf("  library %.0f, hand-written %.0f: the library reaches %.0f%% of the hand rate\n",
              libRate, handRate, handRate > 0 ? 100.0 * libRate / handRate : 0.0);
}

void SummaryReporter::printRepresentative() const {
  std::printf(
      "\nRepresentative SubmitText (3 recipients, 160-byte text, 7 optional parameters, 300 "
      "bytes)\n");
  std::printf("  %-28s %12s %12s %7s %12s %12s\n", "operation", "library ns", "hand ns", "ratio",
              "lib allocs", "hand allocs");
  for (const Operation& op : kOperations) {
    const Result* lib = find(std::string("SubmitText/") + op.name + "/library");
    const Result* hand = find(std::string("SubmitText/") + op.name + "/hand");
    if (lib == nullptr || hand == nullptr) continue;
    std::printf("  %-28s %12.0f %12.0f %6.2fx %12.1f %12.1f\n", op.label, lib->cpuNanoseconds,
                hand->cpuNanoseconds, lib->cpuNanoseconds / hand->cpuNanoseconds,
                counter(lib->counters, "allocs"), counter(hand->counters, "allocs"));
  }
  for (const char* op : {"roundtrip_fresh", "encode_fresh", "parse_fresh"}) {
    const Result* lib = find(std::string("SubmitText/") + op + "/library");
    const Result* hand = find(std::string("SubmitText/") + op + "/hand");
    if (lib == nullptr || hand == nullptr) continue;
    const double ratio = lib->cpuNanoseconds / hand->cpuNanoseconds;
    std::printf("  target %-20s at most %.0fx the hand-written codec: %.2fx, %s\n", op, kMaxRatio,
                ratio, verdict(ratio <= kMaxRatio));
  }
  if (const Result* parse = find("SubmitText/parse_fresh/library")) {
    const double overhead = counter(parse->counters, "allocs") - kRepresentativeOwnAllocations;
    std::printf(
        "  target allocations per parse beyond the PDU's own %.0f (header, text, user data "
        "header, 3 recipients), at most %.0f: %.1f, %s\n",
        kRepresentativeOwnAllocations, kMaxParseOverhead, overhead,
        verdict(overhead <= kMaxParseOverhead));
  }
}

void SummaryReporter::printLean() const {
  bool header = false;
  for (const char* row : {"Lean/roundtrip_fresh", "Header/create_release"}) {
    for (const char* threads : {"threads:1", "threads:2"}) {
      const Result* lib = find(std::string(row) + "/library/" + threads);
      const Result* hand = find(std::string(row) + "/hand/" + threads);
      if (lib == nullptr || hand == nullptr) continue;
      if (!header) {
        std::printf("\nLean client PDU and header life (CPU time per operation per thread)\n");
        std::printf("  %-36s %12s %12s %7s %12s %12s\n", "operation", "library ns", "hand ns",
                    "ratio", "lib allocs", "hand allocs");
        header = true;
      }
      std::printf("  %-36s %12.1f %12.1f %6.2fx %12.1f %12.1f\n",
                  (std::string(row) + " " + threads).c_str(), lib->cpuNanoseconds,
                  hand->cpuNanoseconds, lib->cpuNanoseconds / hand->cpuNanoseconds,
                  counter(lib->counters, "allocs"), counter(hand->counters, "allocs"));
    }
    const Result* one = find(std::string(row) + "/library/threads:1");
    const Result* two = find(std::string(row) + "/library/threads:2");
    if (one != nullptr && two != nullptr) {
      const double growth = two->cpuNanoseconds / one->cpuNanoseconds;
      std::printf(
          "  target %s CPU time per thread, 2 threads / 1 thread, at most %.1fx: %.2fx, %s\n", row,
          kMaxThreadGrowth, growth, verdict(growth <= kMaxThreadGrowth));
    }
  }
  const Result* lib = find("Lean/roundtrip_fresh/library/threads:1");
  const Result* hand = find("Lean/roundtrip_fresh/hand/threads:1");
  if (lib != nullptr && hand != nullptr) {
    const double ratio = lib->cpuNanoseconds / hand->cpuNanoseconds;
    std::printf("  target lean round trip at most %.1fx the hand-written twin: %.2fx, %s\n",
                kMaxLeanRatio, ratio, verdict(ratio <= kMaxLeanRatio));
  }
}

void SummaryReporter::printScaling() const {
  std::printf("\nScaling series (time and allocations per unit of work)\n");
  std::printf("  %-48s %9s %12s %12s %12s\n", "series", "n", "lib ns/unit", "hand ns/unit",
              "allocs/unit");
  for (const Series& series : kSeries) {
    double fastest = 0;
    double slowest = 0;
    bool any = false;
    const std::string prefix = std::string(series.name) + "/library/";
    // By size, smallest first (the names sort as text).
    std::vector<std::pair<long, std::string>> sizes;
    for (const auto& entry : results_) {
      if (entry.first.rfind(prefix, 0) != 0) continue;
      const std::string n = entry.first.substr(prefix.size());
      sizes.emplace_back(std::stol(n), n);
    }
    std::sort(sizes.begin(), sizes.end());
    for (const auto& [size, n] : sizes) {
      const Result& result = results_.at(prefix + n);
      const double units = counter(result.counters, "units");
      if (units <= 0) continue;
      const double perUnit = result.cpuNanoseconds / units;
      const Result* hand = find(std::string(series.name) + "/hand/" + n);
      char handText[32] = "-";
      if (hand != nullptr) {
        std::snprintf(handText, sizeof handText, "%.3f", hand->cpuNanoseconds / units);
      }
      std::printf("  %-48s %9s %12.3f %12s %12.5f\n",
                  (std::string(series.what) + ", per " + series.unit).c_str(), n.c_str(), perUnit,
                  handText, counter(result.counters, "allocs") / units);
      fastest = any ? std::min(fastest, perUnit) : perUnit;
      slowest = any ? std::max(slowest, perUnit) : perUnit;
      any = true;
    }
    if (any) {
      const double spread = slowest / fastest;
      std::printf("    spread (slowest / fastest per %s) %.2fx: flat within %.0fx %s\n",
                  series.unit, spread, kMaxScalingSpread, verdict(spread <= kMaxScalingSpread));
    }
  }
  double allocations = 0;
  double fields = 0;
  for (const auto& [name, result] : results_) {
    if (name.rfind("Scaling/int_fields/library/", 0) != 0) continue;
    allocations += counter(result.counters, "allocs");
    fields += counter(result.counters, "units");
  }
  if (fields > 0) {
    const double perField = allocations / fields;
    std::printf(
        "  target heap allocations per appended fixed-width field, fewer than %.2f: %.5f, %s\n",
        kMaxAllocationsPerField, perField, verdict(perField < kMaxAllocationsPerField));
  }
}

void SummaryReporter::printMemory() const {
  bool header = false;
  for (const auto& [name, result] : results_) {
    if (name.rfind("Memory/", 0) != 0) continue;
    if (!header) {
      std::printf("\nPeak memory while parsing a large message (counting allocator)\n");
      header = true;
    }
    const double mb = 1024.0 * 1024.0;
    const double peak = counter(result.counters, "peak_above_baseline") / mb;
    std::printf("  %-34s message %.2f MB, peak %.2f MB above baseline, parsed PDU holds %.2f MB\n",
                name.c_str(), counter(result.counters, "message_bytes") / mb, peak,
                counter(result.counters, "retained") / mb);
    if (counter(result.counters, "target") > 0) {
      std::printf("  target peak at most %.0f MB above baseline: %.2f MB, %s\n", kMaxPeakMegabytes,
                  peak, verdict(peak <= kMaxPeakMegabytes));
    }
  }
}

}  // namespace orvelpdu::bench

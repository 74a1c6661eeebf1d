// The fuzz targets' verdict: a failed check writes what failed to stderr and aborts, so that
// libFuzzer (or the corpus replay) stops on the input and keeps it.
#ifndef ORVELPDU_FUZZ_FUZZCHECK_H_
#define ORVELPDU_FUZZ_FUZZCHECK_H_

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace orvelpdu::fuzz {

// Aborts when `ok` is false after writing `parts` (what was checked and where: names, numbers,
// anything that streams) on one line, separated by spaces. Nothing is formatted when ok.
template <class... Parts>
void check(bool ok, const Parts&... parts) {
  if (ok) return;
  std::ostringstream message;
  ((message << parts << ' '), ...);
  std::fprintf(stderr, "fuzz check failed: %s\n", message.str().c_str());
  std::abort();
}

}  // namespace orvelpdu::fuzz

#endif  // ORVELPDU_FUZZ_FUZZCHECK_H_

// The one check the snippet programs use: when `holds` is false it prints what failed and
// ends the program with status 1, so that a snippet that stops doing what its guide says fails
// its test.
#ifndef ORVELPDU_DOCS_SNIPPETS_CHECK_H_
#define ORVELPDU_DOCS_SNIPPETS_CHECK_H_

#include <cstdio>
#include <cstdlib>

namespace snippets {

inline void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "check failed: %s\n", what);
  std::exit(1);
}

}  // namespace snippets

#endif  // ORVELPDU_DOCS_SNIPPETS_CHECK_H_

// The one check the snippet programs use: when `holds` is false it prints what failed and
// where, and ends the program with status 1, so that a snippet that stops doing what its guide
// says fails its test.
#ifndef ORVELPDU_DOCS_SNIPPETS_CHECK_H_
#define ORVELPDU_DOCS_SNIPPETS_CHECK_H_

#include <cstdio>
#include <cstdlib>
#include <source_location>

namespace snippets {

inline void check(bool holds, const char* what,
                  std::source_location where = std::source_location::current()) {
  if (holds) return;
  std::fprintf(stderr, "%s:%u: check failed: %s\n", where.file_name(),
               static_cast<unsigned>(where.line()), what);
  std::exit(1);
}

}  // namespace snippets

#endif  // ORVELPDU_DOCS_SNIPPETS_CHECK_H_

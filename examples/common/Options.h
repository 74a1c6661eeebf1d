// Integer options of the example programs: every option takes a decimal integer, digits alone,
// within its range; anything else is refused with a message naming the option and the text
// given (escaped, since it is shown on a terminal).
#ifndef COMMON_OPTIONS_H_
#define COMMON_OPTIONS_H_

#include <cstdint>
#include <string>

namespace textmsg {

// What one option accepts.
struct Range {
  const char* name;
  std::uint64_t least;
  std::uint64_t most;
};

// The integer `text` spells when it lies within `range`; otherwise false and `why` says so.
bool parseInteger(const char* text, const Range& range, std::uint64_t& out, std::string& why);

// True when an argument from argv[first] on asks for the usage (--help or -h).
bool asksForHelp(int argc, char** argv, int first);

}  // namespace textmsg

#endif  // COMMON_OPTIONS_H_

#include "Options.h"

#include <charconv>
#include <cstring>

#include "Printable.h"

namespace textmsg {

bool parseInteger(const char* text, const Range& range, std::uint64_t& out, std::string& why) {
  const char* const end = text + std::strlen(text);
  std::uint64_t value = 0;
  const auto [stop, error] = std::from_chars(text, end, value);
  if (error != std::errc() || stop != end || value < range.least || value > range.most) {
    why = std::string(range.name) + " takes an integer from " + std::to_string(range.least) +
          " to " + std::to_string(range.most) + ", not \"" +
          printable(text, static_cast<std::size_t>(end - text)) + "\"";
    return false;
  }
  out = value;
  return true;
}

bool asksForHelp(int argc, char** argv, int first) {
  for (int i = first; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
  }
  return false;
}

}  // namespace textmsg

// Text from a peer (or from the user) as it may be shown on a terminal: the routine every
// example program prints such text through, the library's orvelpdu::printableText (which the
// dumps use too) with the examples' limit.
#ifndef TEXTMSG_PRINTABLE_H_
#define TEXTMSG_PRINTABLE_H_

#include <orvelpdu/orvelpdu.h>

#include <cstddef>
#include <string>

namespace textmsg {

// The bytes shown before a text is shortened: a whole 160-character message text, and a line
// of at most a few hundred characters.
inline constexpr std::size_t kShownBytes = 160;

// REQUIRES: `bytes` readable for `size` bytes (null only with size 0).
std::string printable(const char* bytes, std::size_t size, std::size_t limit = kShownBytes);
std::string printable(const CString& text, std::size_t limit = kShownBytes);
std::string printable(const std::string& text, std::size_t limit = kShownBytes);

}  // namespace textmsg

#endif  // TEXTMSG_PRINTABLE_H_

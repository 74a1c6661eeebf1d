// The one routine through which the example programs show received text.
#include "common/Printable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using textmsg::kShownBytes;
using textmsg::printable;

TEST(Printable, EscapesEveryByteATerminalCouldActOnAndShortensPastTheLimit) {
  EXPECT_EQ("a\\x1B[2J\\x5C\\x00\\x7F\\xFF ~",
            printable(std::string("a\x1B[2J\\\0\x7F\xFF ~", 11)));
  // Up to the limit a text is shown whole; one byte more and only the limit's worth is shown,
  // then the whole length. The limit counts bytes received, not characters shown.
  const std::string atLimit(kShownBytes, '\x07');
  EXPECT_EQ(4 * kShownBytes, printable(atLimit).size());
  const std::string longer = std::string(kShownBytes, 'A') + "\x1B";
  EXPECT_EQ(std::string(kShownBytes, 'A') + "... (" + std::to_string(kShownBytes + 1) + " bytes)",
            printable(longer));
  EXPECT_EQ("ab... (3 bytes)", printable("abc", 3, 2));
  EXPECT_EQ("", printable(nullptr, 0));
}

}  // namespace

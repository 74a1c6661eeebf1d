// A C string longer than any int can count, for testing that lengths past 2^31 - 1 are
// refused rather than cut: 2^32 + 3 characters 'a', then a NUL. It costs no memory to speak
// of: one 2 MiB page-cache block of 'a' characters is mapped read-only again and again to
// cover the first 2^32 bytes, and one page holding "aaa" and a NUL follows. Resident memory
// counts the block once for each of its 2,048 mappings that has been read, so a test that reads
// the whole text shows an RSS of about 4 GiB while taking 2 MiB.
#ifndef ORVELPDU_TESTS_SUPPORT_HUGETEXT_H_
#define ORVELPDU_TESTS_SUPPORT_HUGETEXT_H_

#include <cstddef>

namespace orvelpdu::test {

constexpr std::size_t kHugeTextLength = (std::size_t{1} << 32) + 3;

// The text, mapped once per process and never unmapped; null when it cannot be mapped, or
// under valgrind, whose instrumented strlen would have to read all 4 GiB. hugeTextAbsence()
// then says why, for GTEST_SKIP.
const char* hugeText();
const char* hugeTextAbsence();

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_HUGETEXT_H_

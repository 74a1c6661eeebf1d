// Strings in tests are compared as std::string, so that every counted character (a NUL among
// them) takes part in the comparison and a failure shows the text.
#ifndef ORVELPDU_TESTS_SUPPORT_TEXT_H_
#define ORVELPDU_TESTS_SUPPORT_TEXT_H_

#include <string>

#include "orvelpdu/base/CString.h"

namespace orvelpdu::test {

// All GetLength() characters of `s`, NUL bytes included.
std::string textOf(const CString& s);

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_TEXT_H_

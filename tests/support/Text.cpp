#include "support/Text.h"

namespace orvelpdu::test {

std::string textOf(const CString& s) {
  return std::string(static_cast<const char*>(s), static_cast<size_t>(s.GetLength()));
}

}  // namespace orvelpdu::test

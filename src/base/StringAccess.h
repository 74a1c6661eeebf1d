// What the library's own parsers may do with a CString that its public interface does not
// offer: set it to a run of bytes that need not end with a NUL, in one copy. Through
// GetBuffer/ReleaseBuffer the same takes a NUL fill of the new length before the copy.
// Internal to the library; not installed.
#ifndef ORVELPDU_SRC_BASE_STRINGACCESS_H_
#define ORVELPDU_SRC_BASE_STRINGACCESS_H_

#include <cstddef>

#include "orvelpdu/base/CString.h"

namespace orvelpdu::detail {

class StringAccess {
 public:
  // `s` becomes exactly the `count` characters at `text` (NUL characters included). On
  // std::bad_alloc `s` is left as it was.
  // REQUIRES: text readable for count characters, count <= 2^31 - 1; text may not lie
  // inside `s`.
  static void assign(CString& s, const char* text, std::size_t count) {
    s.text_.assign(text, count);
  }
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_SRC_BASE_STRINGACCESS_H_

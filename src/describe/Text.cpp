#include "orvelpdu/describe/detail/Text.h"

namespace orvelpdu::detail {

void assignBytes(CString& text, const unsigned char* data, std::size_t size) {
  StringAccess::assign(text, reinterpret_cast<const char*>(data), size);
}

}  // namespace orvelpdu::detail

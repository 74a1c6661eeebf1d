#include "orvelpdu/buffer/CheckedWrites.h"

#include <climits>

namespace orvelpdu {

Result putCString(CIPByteBuffer& out, std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return Result(Outcome::kNulInside, "");
  if (text.size() >= static_cast<std::size_t>(INT_MAX)) return Result(Outcome::kOverLimit, "");
  const unsigned int start = out.getLength();
  try {
    out.appendString0(const_cast<char*>(text.data()), static_cast<int>(text.size()));
    out.appendByte(0);
  } catch (...) {
    out.setLength(start);
    throw;
  }
  return Result();
}

Result putCString(CIPByteBuffer& out, const CString& text) {
  return putCString(out, std::string_view(text, static_cast<std::size_t>(text.GetLength())));
}

}  // namespace orvelpdu

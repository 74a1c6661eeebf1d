#include "Printable.h"

#include <algorithm>

namespace textmsg {

std::string printable(const char* bytes, std::size_t size, std::size_t limit) {
  static const char kDigits[] = "0123456789ABCDEF";
  const std::size_t shown = std::min(size, limit);
  std::string out;
  out.reserve(shown);
  for (std::size_t i = 0; i < shown; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c <= 0x7E && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kDigits[c >> 4]);
      out.push_back(kDigits[c & 0x0F]);
    }
  }
  if (shown < size) out += "... (" + std::to_string(size) + " bytes)";
  return out;
}

std::string printable(const CString& text, std::size_t limit) {
  return printable(static_cast<const char*>(text), static_cast<std::size_t>(text.GetLength()),
                   limit);
}

std::string printable(const std::string& text, std::size_t limit) {
  return printable(text.data(), text.size(), limit);
}

}  // namespace textmsg

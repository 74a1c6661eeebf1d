#include "Printable.h"

namespace textmsg {

std::string printable(const char* bytes, std::size_t size, std::size_t limit) {
  return orvelpdu::printableText(std::string_view(bytes, size), limit);
}

std::string printable(const CString& text, std::size_t limit) {
  return printable(static_cast<const char*>(text), static_cast<std::size_t>(text.GetLength()),
                   limit);
}

std::string printable(const std::string& text, std::size_t limit) {
  return printable(text.data(), text.size(), limit);
}

}  // namespace textmsg

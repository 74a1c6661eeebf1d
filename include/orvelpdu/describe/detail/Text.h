// How the description visitors see the text and octet values a field may hold: CString,
// std::string and (for octets) CIPByteBuffer, each read as bytes and filled from bytes.
// Internal to the description facility.
#ifndef ORVELPDU_DESCRIBE_DETAIL_TEXT_H_
#define ORVELPDU_DESCRIBE_DETAIL_TEXT_H_

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"

namespace orvelpdu::detail {

inline std::string_view bytesOf(const CString& text) {
  return std::string_view(text, static_cast<std::size_t>(text.GetLength()));
}
inline std::string_view bytesOf(const std::string& text) { return text; }
inline std::string_view bytesOf(const CIPByteBuffer& bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.getBuffer()), bytes.getLength());
}

// `text` becomes exactly the `size` bytes at `data`, in one copy.
// REQUIRES: size <= 2^31 - 1 (every caller's size was read from a field of at most 4 bytes and
// lies inside the held bytes); data does not lie inside `text`.
ORVELPDU_API void assignBytes(CString& text, const unsigned char* data, std::size_t size);
inline void assignBytes(std::string& text, const unsigned char* data, std::size_t size) {
  text.assign(reinterpret_cast<const char*>(data), size);
}
inline void assignBytes(CIPByteBuffer& bytes, const unsigned char* data, std::size_t size) {
  bytes.empty();
  if (size != 0) bytes.appendBytes0(const_cast<unsigned char*>(data), static_cast<int>(size));
}

inline void appendRaw(CIPByteBuffer& out, std::string_view bytes) {
  if (!bytes.empty()) {
    out.appendString0(const_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
  }
}

template <class T>
concept TextValue = std::is_same_v<T, CString> || std::is_same_v<T, std::string> ||
    std::is_same_v<T, CIPByteBuffer>;

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_DESCRIBE_DETAIL_TEXT_H_

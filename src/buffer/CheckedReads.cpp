#include "orvelpdu/buffer/CheckedReads.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "orvelpdu/buffer/ByteOrder.h"

namespace orvelpdu {
namespace {

// True when `width` bytes from `offset` on lie inside the held bytes; no sum can overflow.
bool holds(const CIPByteBuffer& in, unsigned int offset, unsigned int width) {
  const unsigned int held = in.getLength();
  return offset <= held && width <= held - offset;
}

template <class Value>
bool peekField(const CIPByteBuffer& in, unsigned int offset, Value& out) {
  constexpr unsigned int width = sizeof(Value);
  static_assert(width == 1 || width == 2 || width == 4, "fields are 1, 2 or 4 bytes wide");
  if (!holds(in, offset, width)) return false;
  const unsigned char* p = in.getBuffer() + offset;
  if constexpr (width == 1) {
    out = static_cast<Value>(p[0]);
  } else if constexpr (width == 2) {
    out = static_cast<Value>(detail::loadBig16(p));
  } else {
    out = static_cast<Value>(detail::loadBig32(p));
  }
  return true;
}

template <class Value>
bool takeField(CIPByteBuffer& in, Value& out) {
  if (!peekField(in, 0, out)) return false;
  in.removeBytes0(static_cast<int>(sizeof(Value)));
  return true;
}

}  // namespace

bool takeByte(CIPByteBuffer& in, unsigned char& out) { return takeField(in, out); }
bool takeShort(CIPByteBuffer& in, short& out) { return takeField(in, out); }
bool takeShort(CIPByteBuffer& in, unsigned short& out) { return takeField(in, out); }
bool takeInt(CIPByteBuffer& in, int& out) { return takeField(in, out); }
bool takeInt(CIPByteBuffer& in, unsigned int& out) { return takeField(in, out); }

bool takeBytes(CIPByteBuffer& in, int count, CIPByteBuffer& out) {
  if (&out == &in || count < 0 || !holds(in, 0, static_cast<unsigned int>(count))) return false;
  if (count == 0) {
    out.empty();
    return true;
  }
  // removeBytes gets the destination's storage before it changes either buffer.
  in.removeBytes(count, out);
  return true;
}

bool takeBytes(CIPByteBuffer& in, int count, CString& out) {
  if (count < 0 || !holds(in, 0, static_cast<unsigned int>(count))) return false;
  // The assignment may throw before anything has changed; after it nothing can fail. The
  // bytes are read through the const view, which never copies them.
  detail::StringAccess::assign(out, reinterpret_cast<const char*>(std::as_const(in).getBuffer()),
                               static_cast<size_t>(count));
  in.removeBytes0(count);
  return true;
}

bool takeCString(CIPByteBuffer& in, CString& out) {
  const unsigned int held = in.getLength();
  if (held == 0) return false;
  const unsigned char* bytes = std::as_const(in).getBuffer();
  const void* nul = std::memchr(bytes, 0, held);
  if (nul == nullptr) return false;
  const auto text = static_cast<int>(static_cast<const unsigned char*>(nul) - bytes);
  if (!takeBytes(in, text, out)) return false;
  in.removeBytes0(1);
  return true;
}

bool peekByte(const CIPByteBuffer& in, unsigned int offset, unsigned char& out) {
  return peekField(in, offset, out);
}
bool peekShort(const CIPByteBuffer& in, unsigned int offset, short& out) {
  return peekField(in, offset, out);
}
bool peekShort(const CIPByteBuffer& in, unsigned int offset, unsigned short& out) {
  return peekField(in, offset, out);
}
bool peekInt(const CIPByteBuffer& in, unsigned int offset, int& out) {
  return peekField(in, offset, out);
}
bool peekInt(const CIPByteBuffer& in, unsigned int offset, unsigned int& out) {
  return peekField(in, offset, out);
}

}  // namespace orvelpdu

// Differential fuzzing of CIPByteBuffer: the input is a program of buffer operations, applied
// to two real buffers and to two naive models of them. Every result and the whole content are
// compared after each operation; any difference aborts.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "BufferModel.h"
#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/buffer/CheckedReads.h"

namespace {

using orvelpdu::fuzz::BufferModel;
using orvelpdu::fuzz::check;
using orvelpdu::fuzz::contentOf;
using orvelpdu::fuzz::loadBig;

class Program {
 public:
  Program(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() {
    const uint8_t wire[2] = {byte(), byte()};
    return orvelpdu::detail::loadBig16(wire);
  }
  uint32_t u32() {
    const uint8_t wire[4] = {byte(), byte(), byte(), byte()};
    return orvelpdu::detail::loadBig32(wire);
  }
  // A count in -8..247, biased towards small values around the edges that matter.
  int count() { return static_cast<int>(byte()) - 8; }
  // A count for operations that must accept any int: mostly count(), sometimes one of the
  // values around the held length and the ends of the int range.
  int edgeCount(int length) {
    const uint8_t pick = byte();
    switch (pick % 16) {
      case 0:
        return INT_MIN;
      case 1:
        return -length - 1;
      case 2:
        return -length;
      case 3:
        return length;
      case 4:
        return length + 1;
      case 5:
        return INT_MAX;
      default:
        return static_cast<int>(pick) - 8;
    }
  }
  std::vector<uint8_t> bytes(int n) {
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) out.push_back(byte());
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Where a program is: said with every failed check.
struct OpIndex {
  int index;
  friend std::ostream& operator<<(std::ostream& out, OpIndex op) {
    return out << "(operation " << op.index << ")";
  }
};

// One operation of the program: the buffer it works on (picked by the low bit of its code),
// the other buffer, their models, and the code itself (some operations read a second bit).
struct Step {
  Program& in;
  uint8_t code;
  CIPByteBuffer& b;
  BufferModel& m;
  CIPByteBuffer& other;
  BufferModel& otherModel;
  OpIndex op;
};

void compare(const CIPByteBuffer& b, const BufferModel& m, OpIndex op) {
  check(static_cast<int>(b.getLength()) == m.length(), "length", op);
  check(b.isEmpty() == (m.length() == 0 ? 1 : 0), "isEmpty", op);
  check((b.getBuffer() != nullptr) == m.block, "block held", op);
  check(contentOf(b) == m.bytes, "content", op);
}

unsigned char* newBlock(const std::vector<uint8_t>& content, int extra) {
  auto* p = static_cast<unsigned char*>(::operator new(content.size() + size_t(extra) + 1));
  std::memset(p, 0, content.size() + size_t(extra) + 1);
  if (!content.empty()) std::memcpy(p, content.data(), content.size());
  return p;
}

// The other buffer after a copy of `n` leading bytes into it.
void copiedFront(Step& s, int n) {
  if (n > 0) {
    s.otherModel.setTo(s.m.front(n));
  } else {
    s.otherModel.empty();
  }
}

// ---- Appending ----

// appendBytes0(src, count), from the input or from the held bytes themselves.
void appendBytes0Source(Step& s) {
  int n = s.in.count();
  const uint8_t from = s.in.byte();
  const int offset = from >> 1;
  if (from & 1 && n > 0 && offset + n <= s.m.length()) {
    std::vector<uint8_t> was(s.m.bytes.begin() + offset, s.m.bytes.begin() + offset + n);
    s.b.appendBytes0(s.b.getBuffer() + offset, n);
    s.m.append(was);
    return;
  }
  std::vector<uint8_t> src = s.in.bytes(std::max(n, 0));
  // A negative count with a real source appends nothing either.
  static unsigned char dummy = 0x77;
  s.b.appendBytes0(src.empty() ? (n < 0 ? &dummy : nullptr) : src.data(), n);
  if (n > 0) s.m.append(src);
}

// appendBytes0(count): zeros, or a drop from the end, clamped below -length.
void appendBytes0Count(Step& s) {
  int n = s.in.count();
  if (n < -4) n = std::min(s.in.edgeCount(s.m.length()), 0);
  s.b.appendBytes0(n);
  s.m.appendZeros(n);
}

// appendBytes(unsigned char*, count), null source included.
void appendBytesPointer(Step& s) {
  int n = s.in.count();
  bool null = s.in.byte() & 1;
  std::vector<uint8_t> src = s.in.bytes(std::max(n, 0));
  s.b.appendBytes(null || src.empty() ? nullptr : src.data(), n);
  if (n > 0) s.m.append(null ? std::vector<uint8_t>(static_cast<size_t>(n), 0) : src);
}

// appendBytes(CIPByteBuffer*, count): other, self or null.
void appendBytesBuffer(Step& s) {
  int n = s.in.count();
  int which = s.in.byte() % 3;
  CIPByteBuffer* src = which == 0 ? &s.other : which == 1 ? &s.b : nullptr;
  const BufferModel* srcModel = which == 0 ? &s.otherModel : which == 1 ? &s.m : nullptr;
  s.b.appendBytes(src, n);
  if (srcModel != nullptr && n > 0 && srcModel->length() >= n) s.m.append(srcModel->front(n));
}

// appendBuffer: other, self or null.
void appendBuffer(Step& s) {
  int which = s.in.byte() % 3;
  CIPByteBuffer* src = which == 0 ? &s.other : which == 1 ? &s.b : nullptr;
  std::vector<uint8_t> add = which == 0   ? s.otherModel.bytes
                             : which == 1 ? s.m.bytes
                                          : std::vector<uint8_t>{};
  s.b.appendBuffer(src);
  s.m.append(add);
}

void appendByte(Step& s) {
  uint8_t v = s.in.byte();
  s.b.appendByte(v);
  s.m.appendBE(v, 1);
}

void appendShort(Step& s) {
  uint16_t v = s.in.u16();
  s.b.appendShort(static_cast<short>(v));
  s.m.appendBE(v, 2);
}

void appendInt(Step& s) {
  uint32_t v = s.in.u32();
  s.b.appendInt(static_cast<int>(v));
  s.m.appendBE(v, 4);
}

// appendString0 or appendString, by the code's second bit.
void appendString(Step& s) {
  int n = std::max(s.in.count(), 0);
  std::vector<uint8_t> src = s.in.bytes(n);
  std::vector<char> text(src.begin(), src.end());
  text.push_back('\0');
  if (s.code & 2) {
    s.b.appendString0(text.data(), n);
  } else {
    s.b.appendString(text.data(), n);
  }
  s.m.append(src);
}

// appendCString(char*): up to the first NUL.
void appendCStringText(Step& s) {
  std::vector<uint8_t> src = s.in.bytes(s.in.byte() % 16);
  std::vector<char> text(src.begin(), src.end());
  text.push_back('\0');
  s.b.appendCString(text.data());
  s.m.append(std::vector<uint8_t>(src.begin(), std::find(src.begin(), src.end(), 0)));
}

// appendCString(CString&): all counted characters, then the string recounts.
void appendCStringString(Step& s) {
  std::vector<uint8_t> src = s.in.bytes(s.in.byte() % 16);
  CString text;
  char* p = text.GetBuffer(static_cast<int>(src.size()));
  if (!src.empty()) std::memcpy(p, src.data(), src.size());
  text.ReleaseBuffer(static_cast<int>(src.size()));
  s.b.appendCString(text);
  s.m.append(src);
  auto nul = std::find(src.begin(), src.end(), 0);
  check(text.GetLength() == static_cast<int>(nul - src.begin()), "CString recount", s.op);
}

// ---- Reading and removing ----

void readByte(Step& s) { check(s.b.readByte() == s.m.readByte(), "readByte", s.op); }
void readShort(Step& s) { check(s.b.readShort() == s.m.readShort(), "readShort", s.op); }
void readInt(Step& s) { check(s.b.readInt() == s.m.readInt(), "readInt", s.op); }

void readBytes(Step& s) {
  int n = s.in.edgeCount(s.m.length());
  s.b.readBytes(n, s.other);
  copiedFront(s, n);
}

void removeBytes0(Step& s) {
  int n = s.in.edgeCount(s.m.length());
  s.b.removeBytes0(n);
  s.m.removeFront(n);
}

// removeBytes or removeBuffer into the other buffer, by the code's second bit.
void removeInto(Step& s) {
  int n = s.in.edgeCount(s.m.length());
  if (s.code & 2) {
    s.b.removeBytes(n, s.other);
  } else {
    s.b.removeBuffer(n, s.other);
  }
  copiedFront(s, n);
  s.m.removeFront(n);
}

void removeByte(Step& s) {
  unsigned char expected = s.m.readByte();
  check(s.b.removeByte() == expected, "removeByte", s.op);
  s.m.removeFront(1);
}

void removeShort(Step& s) {
  short expected = static_cast<short>(static_cast<uint16_t>(s.m.readShort()));
  check(s.b.removeShort() == expected, "removeShort", s.op);
  s.m.removeFront(2);
}

void removeInt(Step& s) {
  int expected = s.m.readInt();
  check(s.b.removeInt() == expected, "removeInt", s.op);
  s.m.removeFront(4);
}

// removeString(dst or null, count).
void removeString(Step& s) {
  int n = s.in.edgeCount(s.m.length());
  bool null = s.in.byte() & 1;
  std::vector<char> dst(static_cast<size_t>(s.m.length()) + 1, '\x5A');
  s.b.removeString(null ? nullptr : dst.data(), n);
  if (n >= 0 && !null) {
    std::vector<uint8_t> expected = s.m.front(n);
    check(std::equal(expected.begin(), expected.end(), dst.begin(),
                     [](uint8_t e, char d) { return e == static_cast<uint8_t>(d); }),
          "removeString", s.op);
    check(dst[expected.size()] == '\x5A', "removeString wrote past the bytes", s.op);
  }
  s.m.removeFront(n);
}

void removeCStringString(Step& s) {
  CString text("stale");
  int result = s.b.removeCString(text);
  bool ended = false;
  std::string field = s.m.cstringField(&ended);
  check(result == (s.m.length() == 0 ? 0 : 1), "removeCString(CString&) result", s.op);
  check(text.GetLength() == static_cast<int>(field.size()) &&
            std::memcmp(static_cast<const char*>(text), field.data(), field.size()) == 0,
        "removeCString(CString&) text", s.op);
  if (s.m.length() > 0) s.m.removeFront(static_cast<int>(field.size()) + (ended ? 1 : 0));
}

// removeCString(char*, int*) where the text fits: stored with its NUL, the limit says its length.
void removeCStringTaken(Step& s, int result, const std::vector<char>& dst, const int* limitArg,
                        const std::string& field, bool ended) {
  int removed = static_cast<int>(field.size()) + (ended ? 1 : 0);
  check(result == removed, "removeCString(char*) result", s.op);
  check(std::memcmp(dst.data(), field.data(), field.size()) == 0 && dst[field.size()] == '\0',
        "removeCString(char*) text", s.op);
  if (limitArg != nullptr) {
    check(*limitArg == int(field.size()), "removeCString limit out", s.op);
  }
  s.m.removeFront(removed);
}

// removeCString(char*, int*): null limit, a limit, or a null destination.
void removeCStringArray(Step& s) {
  int mode = s.in.byte() % 3;
  int limit = static_cast<int>(s.in.byte() % 32) - 4;
  std::vector<char> dst(static_cast<size_t>(s.m.length()) + 2, '\x5A');
  bool ended = false;
  std::string field = s.m.cstringField(&ended);
  int* limitArg = mode == 0 ? nullptr : &limit;
  char* dstArg = mode == 2 ? nullptr : dst.data();
  int givenLimit = limit;
  int result = s.b.removeCString(dstArg, limitArg);
  if (s.m.length() == 0) {
    check(result == -1 && limit == givenLimit, "removeCString(char*) on empty", s.op);
    return;
  }
  bool fits = dstArg != nullptr &&
              (limitArg == nullptr || static_cast<long long>(field.size()) + 1 <= givenLimit);
  if (fits) {
    removeCStringTaken(s, result, dst, limitArg, field, ended);
    return;
  }
  check(result == 0, "removeCString(char*) refusal", s.op);
  if (limitArg != nullptr) check(limit == int(field.size()) + 1, "needed size", s.op);
  check(dst[0] == '\x5A', "removeCString(char*) stored on refusal", s.op);
}

// ---- Whole-buffer operations ----

void resize(Step& s) {
  int n = s.in.count();
  if (n < 0) n = std::min(s.in.edgeCount(s.m.length()), 0);
  s.b.resize(n);
  s.m.resize(n);
}

void empty(Step& s) {
  s.b.empty();
  s.m.empty();
}

// operator=, from the other buffer or from itself.
void assign(Step& s) {
  if (s.in.byte() & 1) {
    s.b = s.other;
    s.m.setTo(s.otherModel.bytes);
  } else {
    CIPByteBuffer& self = s.b;
    s.b = self;
  }
}

// Copy construction, then the copy replaces the other buffer.
void copyConstruct(Step& s) {
  CIPByteBuffer copy(s.b);
  compare(copy, BufferModel{s.m.bytes, !s.m.bytes.empty(), false}, s.op);
  s.other = copy;
  s.otherModel.setTo(s.m.bytes);
}

void hexDump(Step& s) {
  CString dump("stale");
  s.b.getHexDump(dump);
  check(std::string(static_cast<const char*>(dump)) == s.m.hexDump(), "hex dump", s.op);
}

// setBuffer with a new block (then setLength), or with the held block itself.
void setBuffer(Step& s) {
  if (!(s.in.byte() & 1)) {
    s.b.setBuffer(s.b.getBuffer());
    s.m.bytes.clear();
    return;
  }
  std::vector<uint8_t> content = s.in.bytes(s.in.byte() % 16);
  // The block may hold more than the bytes shown: setLength may expose its zero tail.
  const int extra = s.in.byte() % 8;
  const int shown = static_cast<int>(content.size()) + s.in.byte() % (extra + 1);
  s.b.setBuffer(newBlock(content, extra));
  s.b.setLength(static_cast<unsigned int>(shown));
  s.m.bytes = content;
  s.m.bytes.resize(static_cast<size_t>(shown), 0);
  s.m.block = true;
  s.m.adopted = true;
}

// setLength past the bytes held on a block the buffer made: that block is never exceeded, so
// whatever the length then shows must be readable (AddressSanitizer watches), and the model
// follows it.
void setLengthPastTheBytes(Step& s, int n) {
  const int before = s.m.length();
  s.b.setLength(static_cast<unsigned int>(n));
  check(static_cast<int>(s.b.getLength()) <= n, "setLength past the block", s.op);
  check(s.b.getBuffer() != nullptr || s.b.getLength() == 0, "setLength without a block", s.op);
  std::vector<uint8_t> shown = contentOf(s.b);
  check(std::equal(s.m.bytes.begin(), s.m.bytes.begin() + std::min<size_t>(before, shown.size()),
                   shown.begin()),
        "setLength changed the held bytes", s.op);
  s.m.bytes = shown;
}

// setLength: within the bytes held it cuts the length, the block stays.
void setLength(Step& s) {
  const int n = s.in.count();
  if (n >= 0 && n <= s.m.length()) {
    const bool held = s.b.getBuffer() != nullptr;
    s.b.setLength(static_cast<unsigned int>(n));
    s.m.bytes.resize(static_cast<size_t>(n));
    s.m.block = held;
  } else if (n > s.m.length() && !s.m.adopted) {
    setLengthPastTheBytes(s, n);
  }
}

// This buffer as its own destination: nothing happens.
void ownDestination(Step& s) {
  const int n = s.in.edgeCount(s.m.length());
  switch (s.in.byte() % 3) {
    case 0:
      s.b.readBytes(n, s.b);
      break;
    case 1:
      s.b.removeBytes(n, s.b);
      break;
    default:
      s.b.removeBuffer(n, s.b);
      break;
  }
}

// Null texts and sources append nothing.
void nullSources(Step& s) {
  switch (s.in.byte() % 4) {
    case 0:
      s.b.appendCString(static_cast<char*>(nullptr));
      break;
    case 1:
      check((s.b << static_cast<char const*>(nullptr)) == 1, "<< null text", s.op);
      break;
    case 2:
      s.b.appendBytes0(nullptr, s.in.count());
      break;
    default:
      s.b.appendString0(nullptr, s.in.count());
      break;
  }
}

// Adopting constructor, then the adopted buffer replaces this one.
void adoptingConstruct(Step& s) {
  std::vector<uint8_t> content = s.in.bytes(s.in.byte() % 16);
  CIPByteBuffer adopted(content.empty() ? nullptr : newBlock(content, 0),
                        static_cast<int>(content.size()));
  s.b = adopted;
  s.m.setTo(content);
}

// ---- Shift operators ----

// operator<< for an integer type T, `width` bytes wide, with the value read from the input.
template <class T>
void shiftIn(Step& s, T v, int width, const char* what) {
  check((s.b << v) == width, what, s.op);
  s.m.appendBE(static_cast<uint32_t>(v), width);
}

void shiftInInt(Step& s) { shiftIn(s, static_cast<int>(s.in.u32()), 4, "<< int"); }
void shiftInUnsigned(Step& s) { shiftIn(s, s.in.u32(), 4, "<< unsigned"); }
void shiftInUnsignedLong(Step& s) {
  unsigned long v = (static_cast<unsigned long>(s.in.u32()) << 32) | s.in.u32();
  shiftIn(s, v, 4, "<< unsigned long");
}
void shiftInShort(Step& s) {
  const short v = static_cast<short>(s.in.u16());
  check((s.b << v) == 2, "<< short", s.op);
  s.m.appendBE(static_cast<uint16_t>(v), 2);
}
void shiftInUnsignedShort(Step& s) { shiftIn(s, s.in.u16(), 2, "<< unsigned short"); }
void shiftInChar(Step& s) {
  const char v = static_cast<char>(s.in.byte());
  check((s.b << v) == 1, "<< char", s.op);
  s.m.appendBE(static_cast<uint8_t>(v), 1);
}
void shiftInText(Step& s) {
  std::vector<uint8_t> src = s.in.bytes(s.in.byte() % 12);
  std::string text(src.begin(), std::find(src.begin(), src.end(), 0));
  check((s.b << text.c_str()) == static_cast<int>(text.size()) + 1, "<< text", s.op);
  s.m.append(std::vector<uint8_t>(text.begin(), text.end()));
}

void shiftInOperators(Step& s) {
  static constexpr void (*kForms[])(Step&) = {
      shiftInInt,           shiftInUnsigned, shiftInUnsignedLong, shiftInShort,
      shiftInUnsignedShort, shiftInChar,     shiftInText};
  kForms[s.in.byte() % 7](s);
}

// operator>> into a T: `width` bytes taken, the value as the model reads it.
template <class T>
void shiftOut(Step& s, T expected, int width, const char* what) {
  T v = 0;
  check((s.b >> v) == width && v == expected, what, s.op);
  s.m.removeFront(width);
}

void shiftOutInt(Step& s) { shiftOut(s, s.m.readInt(), 4, ">> int"); }
void shiftOutUnsigned(Step& s) {
  shiftOut(s, static_cast<unsigned int>(s.m.readInt()), 4, ">> unsigned");
}
void shiftOutUnsignedLong(Step& s) {
  shiftOut<unsigned long>(s, static_cast<uint32_t>(s.m.readInt()), 4, ">> unsigned long");
}
void shiftOutShort(Step& s) {
  shiftOut(s, static_cast<short>(static_cast<uint16_t>(s.m.readShort())), 2, ">> short");
}
void shiftOutUnsignedShort(Step& s) {
  shiftOut(s, static_cast<unsigned short>(s.m.readShort()), 2, ">> unsigned short");
}
void shiftOutChar(Step& s) { shiftOut(s, static_cast<char>(s.m.readByte()), 1, ">> char"); }
void shiftOutText(Step& s) {
  std::vector<char> dst(static_cast<size_t>(s.m.length()) + 2, '\x5A');
  bool ended = false;
  std::string text = s.m.cstringField(&ended);
  int result = s.b >> dst.data();
  if (s.m.length() == 0) {
    check(result == -1, ">> text on empty", s.op);
    return;
  }
  int removed = static_cast<int>(text.size()) + (ended ? 1 : 0);
  check(result == removed && std::memcmp(dst.data(), text.data(), text.size()) == 0 &&
            dst[text.size()] == '\0',
        ">> text", s.op);
  s.m.removeFront(removed);
}

void shiftOutOperators(Step& s) {
  static constexpr void (*kForms[])(Step&) = {
      shiftOutInt,           shiftOutUnsigned, shiftOutUnsignedLong, shiftOutShort,
      shiftOutUnsignedShort, shiftOutChar,     shiftOutText};
  kForms[s.in.byte() % 7](s);
}

// ---- Checked reads ----

// A take of a `width`-byte integer into a T: refused exactly when fewer bytes are held, and
// then `out` keeps what it held (never a fill value) and the buffer is untouched; otherwise the
// model's big-endian value with exactly the field removed. The sentinel is the complement of
// the value due, so a take that reports success without storing is seen too.
template <class T>
void takeNumber(Step& s, bool (*take)(CIPByteBuffer&, T&), int width, const char* what) {
  const bool whole = s.m.length() >= width;
  const T expected = whole ? static_cast<T>(loadBig(s.m.bytes, 0, width)) : T{};
  const T sentinel = whole ? static_cast<T>(~expected) : static_cast<T>(0x5A5A5A5A);
  T v = sentinel;
  const bool ok = take(s.b, v);
  check(ok == whole, what, "result", ok, "with", s.m.length(), "bytes held", s.op);
  if (!ok) {
    check(v == sentinel, what, "stored on refusal", s.op);
    return;
  }
  check(v == expected, what, "value", s.op);
  s.m.removeFront(width);
}

void takeByteStep(Step& s) { takeNumber<unsigned char>(s, orvelpdu::takeByte, 1, "takeByte"); }
void takeShortSigned(Step& s) { takeNumber<short>(s, orvelpdu::takeShort, 2, "takeShort(short)"); }
void takeShortUnsigned(Step& s) {
  takeNumber<unsigned short>(s, orvelpdu::takeShort, 2, "takeShort(unsigned short)");
}
void takeIntSigned(Step& s) { takeNumber<int>(s, orvelpdu::takeInt, 4, "takeInt(int)"); }
void takeIntUnsigned(Step& s) {
  takeNumber<unsigned int>(s, orvelpdu::takeInt, 4, "takeInt(unsigned int)");
}

// The model after a take of `n` bytes from the front. A take of none leaves the bytes as they
// were; whether a buffer that held none keeps its block then is left open (the CString
// overload drops it as removeBytes0(0) does, the buffer overload keeps it), so the model
// follows the buffer there and only there.
void tookFront(Step& s, int n) {
  if (n > 0) {
    s.m.removeFront(n);
  } else if (s.m.length() == 0) {
    s.m.block = s.b.getBuffer() != nullptr;
  }
}

// takeBytes into the other buffer, into this buffer itself (always refused), or into a fresh
// buffer pre-filled with sentinel bytes.
void takeBytesBuffer(Step& s) {
  const int n = s.in.edgeCount(s.m.length());
  const int which = s.in.byte() % 3;
  const bool whole = n >= 0 && n <= s.m.length();
  if (which == 1) {
    check(!orvelpdu::takeBytes(s.b, n, s.b), "takeBytes into itself accepted", s.op);
    return;
  }
  CIPByteBuffer fresh;
  BufferModel freshModel;
  freshModel.setTo({0x5A, 0x5A, 0x5A});
  fresh.appendBytes0(const_cast<unsigned char*>(freshModel.bytes.data()), freshModel.length());
  CIPByteBuffer& out = which == 0 ? s.other : fresh;
  BufferModel& outModel = which == 0 ? s.otherModel : freshModel;
  const bool ok = orvelpdu::takeBytes(s.b, n, out);
  check(ok == whole, "takeBytes(CIPByteBuffer) result", ok, "count", n, "held", s.m.length(), s.op);
  if (ok) {
    outModel.setTo(s.m.front(n));
    tookFront(s, n);
  }
  compare(out, outModel, s.op);
}

// takeBytes into a CString: the text holds exactly the bytes, NULs included. The sentinel's
// length differs from the count, so success without storing shows in the length.
void takeBytesString(Step& s) {
  const int n = s.in.edgeCount(s.m.length());
  const bool whole = n >= 0 && n <= s.m.length();
  const std::string sentinel(n == 7 ? 6 : 7, '\x5A');
  CString text(sentinel.c_str());
  const bool ok = orvelpdu::takeBytes(s.b, n, text);
  check(ok == whole, "takeBytes(CString) result", ok, "count", n, "held", s.m.length(), s.op);
  const std::vector<uint8_t> expected = ok ? s.m.front(n) : std::vector<uint8_t>{};
  const std::string want = ok ? std::string(expected.begin(), expected.end()) : sentinel;
  check(text.GetLength() == static_cast<int>(want.size()) &&
            std::memcmp(static_cast<const char*>(text), want.data(), want.size()) == 0,
        "takeBytes(CString) text", ok ? "taken" : "after refusal", s.op);
  if (ok) tookFront(s, n);
}

// takeCString: accepted only when a NUL ends the field inside the held bytes; the text and the
// NUL are removed, never the rest of an unterminated field.
void takeCStringStep(Step& s) {
  bool ended = false;
  const std::string field = s.m.cstringField(&ended);
  const std::string sentinel(field.size() == 7 ? 6 : 7, '\x5A');
  CString text(sentinel.c_str());
  const bool ok = orvelpdu::takeCString(s.b, text);
  check(ok == ended, "takeCString result", ok, "held", s.m.length(), s.op);
  const std::string& want = ok ? field : sentinel;
  check(text.GetLength() == static_cast<int>(want.size()) &&
            std::memcmp(static_cast<const char*>(text), want.data(), want.size()) == 0,
        "takeCString text", ok ? "taken" : "after refusal", s.op);
  if (ok) s.m.removeFront(static_cast<int>(field.size()) + 1);
}

// An offset for a peek of `width` bytes: mostly small, sometimes right at the last field that
// fits, one past it, or where offset + width wraps an unsigned int.
unsigned int peekOffset(Step& s, int width) {
  const unsigned int length = static_cast<unsigned int>(s.m.length());
  const uint8_t pick = s.in.byte();
  switch (pick % 16) {
    case 0:
      return UINT_MAX;
    case 1:
      return UINT_MAX - static_cast<unsigned int>(width) + 2;
    case 2:
      return 0x80000000u;
    case 3:
      return length - static_cast<unsigned int>(width);
    case 4:
      return length - static_cast<unsigned int>(width) + 1;
    case 5:
      return length;
    default:
      return pick >> 2;
  }
}

// A peek of a `width`-byte integer at an offset: the model's value where the whole field lies
// inside the held bytes, a refusal with `out` untouched elsewhere, and the buffer never changed
// (its block, length and bytes are compared after every operation as well).
template <class T>
void peekNumber(Step& s, bool (*peek)(const CIPByteBuffer&, unsigned int, T&), int width,
                const char* what) {
  const unsigned int offset = peekOffset(s, width);
  const bool whole = static_cast<long long>(offset) + width <= s.m.length();
  const T expected = whole ? static_cast<T>(loadBig(s.m.bytes, offset, width)) : T{};
  const T sentinel = whole ? static_cast<T>(~expected) : static_cast<T>(0x5A5A5A5A);
  const unsigned char* block = s.b.getBuffer();
  T v = sentinel;
  const bool ok = peek(s.b, offset, v);
  check(ok == whole, what, "result", ok, "offset", offset, "held", s.m.length(), s.op);
  check(v == (ok ? expected : sentinel), what, ok ? "value" : "stored on refusal", s.op);
  check(s.b.getBuffer() == block, what, "moved the block", s.op);
}

void peekByteStep(Step& s) { peekNumber<unsigned char>(s, orvelpdu::peekByte, 1, "peekByte"); }
void peekShortSigned(Step& s) { peekNumber<short>(s, orvelpdu::peekShort, 2, "peekShort(short)"); }
void peekShortUnsigned(Step& s) {
  peekNumber<unsigned short>(s, orvelpdu::peekShort, 2, "peekShort(unsigned short)");
}
void peekIntSigned(Step& s) { peekNumber<int>(s, orvelpdu::peekInt, 4, "peekInt(int)"); }
void peekIntUnsigned(Step& s) {
  peekNumber<unsigned int>(s, orvelpdu::peekInt, 4, "peekInt(unsigned int)");
}

// The operation for each opcode: see operationFor. The order is the corpus's meaning: an
// operation may be added at the end, but none may move.
constexpr void (*kOperations[])(Step&) = {
    appendBytes0Source,   // 0
    appendBytes0Count,    // 1
    appendBytesPointer,   // 2
    appendBytesBuffer,    // 3
    appendBuffer,         // 4
    appendByte,           // 5
    appendShort,          // 6
    appendInt,            // 7
    appendString,         // 8
    appendString,         // 9
    appendCStringText,    // 10
    appendCStringString,  // 11
    readByte,             // 12
    readShort,            // 13
    readInt,              // 14
    readBytes,            // 15
    removeBytes0,         // 16
    removeInto,           // 17
    removeInto,           // 18
    removeByte,           // 19
    removeShort,          // 20
    removeInt,            // 21
    removeString,         // 22
    removeCStringString,  // 23
    removeCStringArray,   // 24
    resize,               // 25
    empty,                // 26
    assign,               // 27
    copyConstruct,        // 28
    shiftInOperators,     // 29
    shiftOutOperators,    // 30
    hexDump,              // 31
    setBuffer,            // 32
    setLength,            // 33
    ownDestination,       // 34
    nullSources,          // 35
    adoptingConstruct,    // 36
    takeByteStep,         // 37
    takeShortSigned,      // 38
    takeShortUnsigned,    // 39
    takeIntSigned,        // 40
    takeIntUnsigned,      // 41
    takeBytesBuffer,      // 42
    takeBytesString,      // 43
    takeCStringStep,      // 44
    peekByteStep,         // 45
    peekShortSigned,      // 46
    peekShortUnsigned,    // 47
    peekIntSigned,        // 48
    peekIntUnsigned,      // 49
};
constexpr int kOperationCount = static_cast<int>(std::size(kOperations));
static_assert(kOperationCount == 50);

// The first operations, whose codes were all the corpus knew.
constexpr int kFirstOperations = 37;
// code >> 1 runs 0..127. Below 111 it is three whole rounds of the first 37 operations, as it
// always was; only the ragged fourth round, codes 222..255, now picks the later operations.
// Every code had a meaning before, so no code range was free; this tail is the smallest share
// of old inputs whose meaning changes, and it leaves each first operation three codes.
constexpr int kTailStart = 3 * kFirstOperations;

int operationFor(uint8_t code) {
  const int index = code >> 1;
  if (index < kTailStart) return index % kFirstOperations;
  return kFirstOperations + (index - kTailStart) % (kOperationCount - kFirstOperations);
}

void step(Program& in, CIPByteBuffer* buffers, BufferModel* models, OpIndex op) {
  const uint8_t code = in.byte();
  const int t = code & 1;
  Step s{in, code, buffers[t], models[t], buffers[1 - t], models[1 - t], op};
  kOperations[operationFor(code)](s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Program in(data, size);
  CIPByteBuffer buffers[2];
  BufferModel models[2];
  // Appending a buffer to itself doubles it: the program stops before it grows huge.
  constexpr int kMaxModelLength = 1 << 16;
  for (int index = 0; !in.done() && index < 4096; ++index) {
    if (models[0].length() > kMaxModelLength || models[1].length() > kMaxModelLength) break;
    const OpIndex op{index};
    step(in, buffers, models, op);
    compare(buffers[0], models[0], op);
    compare(buffers[1], models[1], op);
  }
  return 0;
}

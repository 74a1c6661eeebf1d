// Differential fuzzing of CIPByteBuffer: the input is a program of buffer operations, applied
// to two real buffers and to two naive models of them. Every result and the whole content are
// compared after each operation; any difference aborts.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "BufferModel.h"
#include "FuzzBytes.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"

namespace {

using orvelpdu::fuzz::contentOf;

using orvelpdu::fuzz::BufferModel;

[[noreturn]] void mismatch(const char* what, int op) {
  std::fprintf(stderr, "buffer differs from the model: %s (operation %d)\n", what, op);
  std::abort();
}

void check(bool ok, const char* what, int op) {
  if (!ok) mismatch(what, op);
}

class Program {
 public:
  Program(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t u16() { return static_cast<uint16_t>((byte() << 8) | byte()); }
  uint32_t u32() { return (uint32_t{u16()} << 16) | u16(); }
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

void compare(const CIPByteBuffer& b, const BufferModel& m, int op) {
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

void step(Program& in, CIPByteBuffer* buffers, BufferModel* models, int op) {
  const uint8_t code = in.byte();
  const int t = code & 1;
  CIPByteBuffer& b = buffers[t];
  BufferModel& m = models[t];
  CIPByteBuffer& other = buffers[1 - t];
  BufferModel& otherModel = models[1 - t];

  switch ((code >> 1) % 37) {
    case 0: {  // appendBytes0(src, count), from the input or from the held bytes themselves
      int n = in.count();
      const uint8_t from = in.byte();
      const int offset = from >> 1;
      if (from & 1 && n > 0 && offset + n <= m.length()) {
        std::vector<uint8_t> was(m.bytes.begin() + offset, m.bytes.begin() + offset + n);
        b.appendBytes0(b.getBuffer() + offset, n);
        m.append(was);
      } else {
        std::vector<uint8_t> src = in.bytes(std::max(n, 0));
        // A negative count with a real source appends nothing either.
        static unsigned char dummy = 0x77;
        b.appendBytes0(src.empty() ? (n < 0 ? &dummy : nullptr) : src.data(), n);
        if (n > 0) m.append(src);
      }
      break;
    }
    case 1: {  // appendBytes0(count): zeros, or a drop from the end, clamped below -length
      int n = in.count();
      if (n < -4) n = std::min(in.edgeCount(m.length()), 0);
      b.appendBytes0(n);
      m.appendZeros(n);
      break;
    }
    case 2: {  // appendBytes(unsigned char*, count), null source included
      int n = in.count();
      bool null = in.byte() & 1;
      std::vector<uint8_t> src = in.bytes(std::max(n, 0));
      b.appendBytes(null || src.empty() ? nullptr : src.data(), n);
      if (n > 0) m.append(null ? std::vector<uint8_t>(static_cast<size_t>(n), 0) : src);
      break;
    }
    case 3: {  // appendBytes(CIPByteBuffer*, count): other, self or null
      int n = in.count();
      int which = in.byte() % 3;
      CIPByteBuffer* src = which == 0 ? &other : which == 1 ? &b : nullptr;
      const BufferModel* srcModel = which == 0 ? &otherModel : which == 1 ? &m : nullptr;
      b.appendBytes(src, n);
      if (srcModel != nullptr && n > 0 && srcModel->length() >= n) m.append(srcModel->front(n));
      break;
    }
    case 4: {
      int which = in.byte() % 3;
      CIPByteBuffer* src = which == 0 ? &other : which == 1 ? &b : nullptr;
      std::vector<uint8_t> add = which == 0   ? otherModel.bytes
                                 : which == 1 ? m.bytes
                                              : std::vector<uint8_t>{};
      b.appendBuffer(src);
      m.append(add);
      break;
    }
    case 5: {
      uint8_t v = in.byte();
      b.appendByte(v);
      m.appendBE(v, 1);
      break;
    }
    case 6: {
      uint16_t v = in.u16();
      b.appendShort(static_cast<short>(v));
      m.appendBE(v, 2);
      break;
    }
    case 7: {
      uint32_t v = in.u32();
      b.appendInt(static_cast<int>(v));
      m.appendBE(v, 4);
      break;
    }
    case 8:
    case 9: {  // appendString0 / appendString
      int n = std::max(in.count(), 0);
      std::vector<uint8_t> src = in.bytes(n);
      std::vector<char> text(src.begin(), src.end());
      text.push_back('\0');
      if (code & 2) {
        b.appendString0(text.data(), n);
      } else {
        b.appendString(text.data(), n);
      }
      m.append(src);
      break;
    }
    case 10: {  // appendCString(char*): up to the first NUL
      std::vector<uint8_t> src = in.bytes(in.byte() % 16);
      std::vector<char> text(src.begin(), src.end());
      text.push_back('\0');
      b.appendCString(text.data());
      m.append(std::vector<uint8_t>(src.begin(), std::find(src.begin(), src.end(), 0)));
      break;
    }
    case 11: {  // appendCString(CString&): all counted characters, then the string recounts
      std::vector<uint8_t> src = in.bytes(in.byte() % 16);
      CString s;
      char* p = s.GetBuffer(static_cast<int>(src.size()));
      if (!src.empty()) std::memcpy(p, src.data(), src.size());
      s.ReleaseBuffer(static_cast<int>(src.size()));
      b.appendCString(s);
      m.append(src);
      auto nul = std::find(src.begin(), src.end(), 0);
      check(s.GetLength() == static_cast<int>(nul - src.begin()), "CString recount", op);
      break;
    }
    case 12:
      check(b.readByte() == m.readByte(), "readByte", op);
      break;
    case 13:
      check(b.readShort() == m.readShort(), "readShort", op);
      break;
    case 14:
      check(b.readInt() == m.readInt(), "readInt", op);
      break;
    case 15: {
      int n = in.edgeCount(m.length());
      b.readBytes(n, other);
      if (n > 0) {
        otherModel.setTo(m.front(n));
      } else {
        otherModel.empty();
      }
      break;
    }
    case 16: {
      int n = in.edgeCount(m.length());
      b.removeBytes0(n);
      m.removeFront(n);
      break;
    }
    case 17:
    case 18: {
      int n = in.edgeCount(m.length());
      if (code & 2) {
        b.removeBytes(n, other);
      } else {
        b.removeBuffer(n, other);
      }
      if (n > 0) {
        otherModel.setTo(m.front(n));
      } else {
        otherModel.empty();
      }
      m.removeFront(n);
      break;
    }
    case 19: {
      unsigned char expected = m.readByte();
      check(b.removeByte() == expected, "removeByte", op);
      m.removeFront(1);
      break;
    }
    case 20: {
      short expected = static_cast<short>(static_cast<uint16_t>(m.readShort()));
      check(b.removeShort() == expected, "removeShort", op);
      m.removeFront(2);
      break;
    }
    case 21: {
      int expected = m.readInt();
      check(b.removeInt() == expected, "removeInt", op);
      m.removeFront(4);
      break;
    }
    case 22: {  // removeString(dst or null, count)
      int n = in.edgeCount(m.length());
      bool null = in.byte() & 1;
      std::vector<char> dst(static_cast<size_t>(m.length()) + 1, '\x5A');
      b.removeString(null ? nullptr : dst.data(), n);
      if (n >= 0 && !null) {
        std::vector<uint8_t> expected = m.front(n);
        check(std::equal(expected.begin(), expected.end(), dst.begin(),
                         [](uint8_t e, char d) { return e == static_cast<uint8_t>(d); }),
              "removeString", op);
        check(dst[expected.size()] == '\x5A', "removeString wrote past the bytes", op);
      }
      m.removeFront(n);
      break;
    }
    case 23: {
      CString s("stale");
      int result = b.removeCString(s);
      bool ended = false;
      std::string text = m.cstringField(&ended);
      check(result == (m.length() == 0 ? 0 : 1), "removeCString(CString&) result", op);
      check(s.GetLength() == static_cast<int>(text.size()) &&
                std::memcmp(static_cast<const char*>(s), text.data(), text.size()) == 0,
            "removeCString(CString&) text", op);
      if (m.length() > 0) m.removeFront(static_cast<int>(text.size()) + (ended ? 1 : 0));
      break;
    }
    case 24: {  // removeCString(char*, int*): null limit, a limit, or a null destination
      int mode = in.byte() % 3;
      int limit = static_cast<int>(in.byte() % 32) - 4;
      std::vector<char> dst(static_cast<size_t>(m.length()) + 2, '\x5A');
      bool ended = false;
      std::string text = m.cstringField(&ended);
      int* limitArg = mode == 0 ? nullptr : &limit;
      char* dstArg = mode == 2 ? nullptr : dst.data();
      int givenLimit = limit;
      int result = b.removeCString(dstArg, limitArg);
      if (m.length() == 0) {
        check(result == -1 && limit == givenLimit, "removeCString(char*) on empty", op);
        break;
      }
      bool fits = dstArg != nullptr &&
                  (limitArg == nullptr || static_cast<long long>(text.size()) + 1 <= givenLimit);
      if (fits) {
        int removed = static_cast<int>(text.size()) + (ended ? 1 : 0);
        check(result == removed, "removeCString(char*) result", op);
        check(std::memcmp(dst.data(), text.data(), text.size()) == 0 && dst[text.size()] == '\0',
              "removeCString(char*) text", op);
        if (limitArg != nullptr) check(limit == int(text.size()), "removeCString limit out", op);
        m.removeFront(removed);
      } else {
        check(result == 0, "removeCString(char*) refusal", op);
        if (limitArg != nullptr) check(limit == int(text.size()) + 1, "needed size", op);
        check(dst[0] == '\x5A', "removeCString(char*) stored on refusal", op);
      }
      break;
    }
    case 25: {
      int n = in.count();
      if (n < 0) n = std::min(in.edgeCount(m.length()), 0);
      b.resize(n);
      m.resize(n);
      break;
    }
    case 26:
      b.empty();
      m.empty();
      break;
    case 27: {  // operator=, from the other buffer or from itself
      if (in.byte() & 1) {
        b = other;
        m.setTo(otherModel.bytes);
      } else {
        CIPByteBuffer& self = b;
        b = self;
      }
      break;
    }
    case 28: {  // copy construction, then the copy replaces the other buffer
      CIPByteBuffer copy(b);
      compare(copy, BufferModel{m.bytes, !m.bytes.empty(), false}, op);
      other = copy;
      otherModel.setTo(m.bytes);
      break;
    }
    case 29: {  // shift-in operators
      switch (in.byte() % 7) {
        case 0: {
          int v = static_cast<int>(in.u32());
          check((b << v) == 4, "<< int", op);
          m.appendBE(static_cast<uint32_t>(v), 4);
          break;
        }
        case 1: {
          unsigned int v = in.u32();
          check((b << v) == 4, "<< unsigned", op);
          m.appendBE(v, 4);
          break;
        }
        case 2: {
          unsigned long v = (static_cast<unsigned long>(in.u32()) << 32) | in.u32();
          check((b << v) == 4, "<< unsigned long", op);
          m.appendBE(static_cast<uint32_t>(v), 4);
          break;
        }
        case 3: {
          short v = static_cast<short>(in.u16());
          check((b << v) == 2, "<< short", op);
          m.appendBE(static_cast<uint16_t>(v), 2);
          break;
        }
        case 4: {
          unsigned short v = in.u16();
          check((b << v) == 2, "<< unsigned short", op);
          m.appendBE(v, 2);
          break;
        }
        case 5: {
          char v = static_cast<char>(in.byte());
          check((b << v) == 1, "<< char", op);
          m.appendBE(static_cast<uint8_t>(v), 1);
          break;
        }
        default: {
          std::vector<uint8_t> src = in.bytes(in.byte() % 12);
          std::string text(src.begin(), std::find(src.begin(), src.end(), 0));
          check((b << text.c_str()) == static_cast<int>(text.size()) + 1, "<< text", op);
          m.append(std::vector<uint8_t>(text.begin(), text.end()));
          break;
        }
      }
      break;
    }
    case 30: {  // shift-out operators
      switch (in.byte() % 7) {
        case 0: {
          int v = 0;
          int expected = m.readInt();
          check((b >> v) == 4 && v == expected, ">> int", op);
          m.removeFront(4);
          break;
        }
        case 1: {
          unsigned int v = 0;
          auto expected = static_cast<unsigned int>(m.readInt());
          check((b >> v) == 4 && v == expected, ">> unsigned", op);
          m.removeFront(4);
          break;
        }
        case 2: {
          unsigned long v = 0;
          unsigned long expected = static_cast<uint32_t>(m.readInt());
          check((b >> v) == 4 && v == expected, ">> unsigned long", op);
          m.removeFront(4);
          break;
        }
        case 3: {
          short v = 0;
          auto expected = static_cast<short>(static_cast<uint16_t>(m.readShort()));
          check((b >> v) == 2 && v == expected, ">> short", op);
          m.removeFront(2);
          break;
        }
        case 4: {
          unsigned short v = 0;
          auto expected = static_cast<unsigned short>(m.readShort());
          check((b >> v) == 2 && v == expected, ">> unsigned short", op);
          m.removeFront(2);
          break;
        }
        case 5: {
          char v = 0;
          auto expected = static_cast<char>(m.readByte());
          check((b >> v) == 1 && v == expected, ">> char", op);
          m.removeFront(1);
          break;
        }
        default: {
          std::vector<char> dst(static_cast<size_t>(m.length()) + 2, '\x5A');
          bool ended = false;
          std::string text = m.cstringField(&ended);
          int result = b >> dst.data();
          if (m.length() == 0) {
            check(result == -1, ">> text on empty", op);
          } else {
            int removed = static_cast<int>(text.size()) + (ended ? 1 : 0);
            check(result == removed && std::memcmp(dst.data(), text.data(), text.size()) == 0 &&
                      dst[text.size()] == '\0',
                  ">> text", op);
            m.removeFront(removed);
          }
          break;
        }
      }
      break;
    }
    case 31: {
      CString dump("stale");
      b.getHexDump(dump);
      check(std::string(static_cast<const char*>(dump)) == m.hexDump(), "hex dump", op);
      break;
    }
    case 32: {  // setBuffer with a new block (then setLength), or with the held block itself
      if (in.byte() & 1) {
        std::vector<uint8_t> content = in.bytes(in.byte() % 16);
        // The block may hold more than the bytes shown: setLength may expose its zero tail.
        const int extra = in.byte() % 8;
        const int shown = static_cast<int>(content.size()) + in.byte() % (extra + 1);
        b.setBuffer(newBlock(content, extra));
        b.setLength(static_cast<unsigned int>(shown));
        m.bytes = content;
        m.bytes.resize(static_cast<size_t>(shown), 0);
        m.block = true;
        m.adopted = true;
      } else {
        b.setBuffer(b.getBuffer());
        m.bytes.clear();
      }
      break;
    }
    case 33: {  // setLength: within the bytes held it cuts the length, the block stays
      const int n = in.count();
      if (n >= 0 && n <= m.length()) {
        const bool held = b.getBuffer() != nullptr;
        b.setLength(static_cast<unsigned int>(n));
        m.bytes.resize(static_cast<size_t>(n));
        m.block = held;
      } else if (n > m.length() && !m.adopted) {
        // Past the bytes held, a block the buffer made is never exceeded: whatever the length
        // then shows must be readable (AddressSanitizer watches), and the model follows it.
        const int before = m.length();
        b.setLength(static_cast<unsigned int>(n));
        check(static_cast<int>(b.getLength()) <= n, "setLength past the block", op);
        check(b.getBuffer() != nullptr || b.getLength() == 0, "setLength without a block", op);
        std::vector<uint8_t> shown = contentOf(b);
        check(std::equal(m.bytes.begin(), m.bytes.begin() + std::min<size_t>(before, shown.size()),
                         shown.begin()),
              "setLength changed the held bytes", op);
        m.bytes = shown;
      }
      break;
    }
    case 34: {  // this buffer as its own destination: nothing happens
      const int n = in.edgeCount(m.length());
      switch (in.byte() % 3) {
        case 0:
          b.readBytes(n, b);
          break;
        case 1:
          b.removeBytes(n, b);
          break;
        default:
          b.removeBuffer(n, b);
          break;
      }
      break;
    }
    case 35: {  // null texts and sources append nothing
      switch (in.byte() % 4) {
        case 0:
          b.appendCString(static_cast<char*>(nullptr));
          break;
        case 1:
          check((b << static_cast<char const*>(nullptr)) == 1, "<< null text", op);
          break;
        case 2:
          b.appendBytes0(nullptr, in.count());
          break;
        default:
          b.appendString0(nullptr, in.count());
          break;
      }
      break;
    }
    default: {  // adopting constructor, then the adopted buffer replaces this one
      std::vector<uint8_t> content = in.bytes(in.byte() % 16);
      CIPByteBuffer adopted(content.empty() ? nullptr : newBlock(content, 0),
                            static_cast<int>(content.size()));
      b = adopted;
      m.setTo(content);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Program in(data, size);
  CIPByteBuffer buffers[2];
  BufferModel models[2];
  // Appending a buffer to itself doubles it: the program stops before it grows huge.
  constexpr int kMaxModelLength = 1 << 16;
  for (int op = 0; !in.done() && op < 4096; ++op) {
    if (models[0].length() > kMaxModelLength || models[1].length() > kMaxModelLength) break;
    step(in, buffers, models, op);
    compare(buffers[0], models[0], op);
    compare(buffers[1], models[1], op);
  }
  return 0;
}

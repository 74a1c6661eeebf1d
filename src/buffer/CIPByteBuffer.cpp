#include "orvelpdu/buffer/CIPByteBuffer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include "buffer/BufferAccess.h"

const unsigned char CIPByteBuffer::SZ_BYTE = 1;
const unsigned char CIPByteBuffer::SZ_SHORT = 2;
const unsigned char CIPByteBuffer::SZ_INT = 4;
const unsigned char CIPByteBuffer::SZ_LONG64 = 8;

namespace orvelpdu::detail {
namespace {

constexpr int kMaxLength = INT_MAX;
// The smallest block the buffer grows into: a typical PDU, built field by field, fits
// without a second allocation.
constexpr int kMinCapacity = 512;
// removeBytes hands its block over with all the bytes only when the block is at most this
// many times their number, or no larger than the smallest block; it copies them otherwise.
constexpr long long kHandOverFactor = 2;

// Capacity for a length of `needed` bytes, `held` of which are already held: twice the
// length, so that n appends cost O(n) copying in total (the first block, with nothing held
// yet, is just large enough), and sized from the bytes needed rather than from the block
// being left, so that a block is never more than twice the longest length it has had to hold,
// or kMinCapacity.
int grownCapacity(int held, int needed) {
  const long long wanted = held == 0 ? needed : 2LL * needed;
  return static_cast<int>(
      std::min<long long>(std::max<long long>(wanted, kMinCapacity), kMaxLength));
}

size_t bytes(int n) { return static_cast<size_t>(n); }

// Every block the buffer makes comes from here, uninitialised: each caller fills all of it,
// by copying or zeroing, before the buffer can expose a byte of it. REQUIRES: n > 0.
unsigned char* newBlock(int n) { return static_cast<unsigned char*>(::operator new(bytes(n))); }

// first <= p <= last in the total order of pointers, so that a pointer into another block
// compares without undefined behaviour.
bool within(const unsigned char* p, const unsigned char* first, const unsigned char* last) {
  const std::less_equal<const unsigned char*> notAfter;
  return notAfter(first, p) && notAfter(p, last);
}

}  // namespace
}  // namespace orvelpdu::detail

using orvelpdu::detail::bytes;
using orvelpdu::detail::kMaxLength;
using orvelpdu::detail::newBlock;

// ---- Construction ----

// An adopted block may hold more than `len` bytes, so its size counts as unknown: a later
// setLength is trusted up to what the caller says the block holds, as after setBuffer.
CIPByteBuffer::CIPByteBuffer(unsigned char* data, int len)
    : buffer(data), length(0), block_(data), capacity_(0), sizeKnown_(data == nullptr) {
  if (data != nullptr && len > 0) {
    length = static_cast<unsigned int>(len);
    capacity_ = len;
  }
}

CIPByteBuffer::CIPByteBuffer(const CIPByteBuffer& other)
    : CBaseObj(other), buffer(nullptr), length(0), block_(nullptr), capacity_(0), sizeKnown_(true) {
  assignBytes(other.buffer, static_cast<int>(other.length));
}

CIPByteBuffer& CIPByteBuffer::operator=(const CIPByteBuffer& other) {
  if (&other != this) assignBytes(other.buffer, static_cast<int>(other.length));
  return *this;
}

CIPByteBuffer::~CIPByteBuffer() { empty(); }

// ---- Storage helpers ----

unsigned char* CIPByteBuffer::Malloc(int n) {
  if (n <= 0) return nullptr;
  unsigned char* p = newBlock(n);
  std::memset(p, 0, bytes(n));
  return p;
}

unsigned char* CIPByteBuffer::Realloc(unsigned char* old, int len, int size) {
  unsigned char* p = Malloc(size);
  int keep = std::min(len, size);
  if (old != nullptr && keep > 0) std::memcpy(p, old, bytes(keep));
  Free(old);
  return p;
}

void CIPByteBuffer::Free(unsigned char* p) {
  if (p != nullptr) ::operator delete(p);
}

// Spare room behind the held bytes, the common case, is found here, inlined into every
// append; only growing costs a call.
inline unsigned char* CIPByteBuffer::makeRoom(int count) {
  if (hasRoom(static_cast<unsigned int>(count))) return nullptr;
  return growRoomFor(count, nullptr);
}

unsigned char* CIPByteBuffer::growRoom(int count) { return growRoomFor(count, nullptr); }

unsigned char* CIPByteBuffer::growRoomFor(int count, const void* src) {
  const int len = static_cast<int>(length);
  if (count > kMaxLength - len) throw std::bad_alloc();
  const int needed = len + count;
  if (block_ != nullptr && (buffer - block_) + needed <= capacity_) return nullptr;
  // Removals only advance `buffer`; the dead prefix they leave is reclaimed here. Moving the
  // held bytes to the front is chosen only while they and the new ones fill at most half the
  // block, so that the bytes moved stay amortised O(1) per byte appended; and never when
  // `src` lies inside the block, which the move would shift under it (a source among the held
  // bytes is not passed here: appendRaw moves it with them). The bytes the move leaves behind
  // the held ones are bytes held before, which is all setLength may expose.
  const auto* from = static_cast<const unsigned char*>(src);
  const bool srcInside = from != nullptr && block_ != nullptr &&
                         orvelpdu::detail::within(from, block_, block_ + capacity_) &&
                         from != block_ + capacity_;
  if (block_ != nullptr && sizeKnown_ && buffer != block_ && needed <= capacity_ / 2 &&
      !srcInside) {
    std::memmove(block_, buffer, bytes(len));
    buffer = block_;
    return nullptr;
  }
  const int grown = orvelpdu::detail::grownCapacity(len, needed);
  unsigned char* p = newBlock(grown);
  if (len > 0) std::memcpy(p, buffer, bytes(len));
  // The spare room is zeroed so that setLength beyond the held bytes never exposes
  // uninitialised memory; growing geometrically keeps this amortised O(1) per byte.
  std::memset(p + len, 0, bytes(grown - len));
  unsigned char* retired = block_;
  block_ = p;
  buffer = p;
  capacity_ = grown;
  sizeKnown_ = true;
  return retired;
}

void CIPByteBuffer::appendRaw(const void* src, int count) {
  if (!hasRoom(static_cast<unsigned int>(count))) {
    orvelpdu::detail::BufferAccess::appendGrowing(*this, src, count);
    return;
  }
  std::memmove(buffer + length, src, bytes(count));
  length += static_cast<unsigned int>(count);
}

void CIPByteBuffer::assignBytes(const unsigned char* src, int count) {
  if (count <= 0 || src == nullptr) {
    empty();
    return;
  }
  unsigned char* p = newBlock(count);
  std::memcpy(p, src, bytes(count));
  Free(block_);
  block_ = p;
  buffer = p;
  capacity_ = count;
  sizeKnown_ = true;
  length = static_cast<unsigned int>(count);
}

// The dead prefix stays until the buffer next needs room (growRoomFor), so a removal never
// copies.
void CIPByteBuffer::dropFront(int count) {
  buffer += count;
  length -= static_cast<unsigned int>(count);
}

bool CIPByteBuffer::showsLentBytes() const { return block_ == nullptr && buffer != nullptr; }

void CIPByteBuffer::ownLentBytes() {
  if (!showsLentBytes()) return;
  // The lent bytes (-capacity_ of them) run from the first one lent, those already removed
  // included, to the end of those shown; all of them are copied, so that the view keeps its
  // place in them and setBuffer may still point anywhere among them.
  const int lent = -capacity_;
  const long long removed = lent - static_cast<long long>(length);
  const unsigned char* first = buffer - removed;
  unsigned char* p = newBlock(lent);
  std::memcpy(p, first, bytes(lent));
  block_ = p;
  buffer = p + removed;
  capacity_ = lent;
  sizeKnown_ = true;
}

// ---- Storage and state ----

void CIPByteBuffer::setBuffer(unsigned char* p) {
  if (showsLentBytes()) {
    // The lent bytes are this view's block as far as setBuffer is concerned: a pointer among
    // them (or to their end) keeps them, in a copy of the view's own; any other pointer is a
    // new block, and the lent bytes, never this view's to release, are simply let go of.
    const long long lent = -static_cast<long long>(capacity_);
    const unsigned char* first = buffer - (lent - static_cast<long long>(length));
    if (p != nullptr && orvelpdu::detail::within(p, first, first + lent)) {
      const long long offset = p - first;
      ownLentBytes();
      p = block_ + offset;
    } else {
      buffer = nullptr;
      length = 0;
      capacity_ = 0;
    }
  }
  // The held block as far as this buffer knows it: `capacity_` bytes, the size of a block it
  // made or the furthest an adopted block was said to reach. Its end counts as inside too:
  // it lies inside an adopted block that holds more, and releasing the block for it would
  // leave the buffer holding a pointer into freed memory.
  const bool insideHeld = p != nullptr && block_ != nullptr &&
                          (p == buffer || orvelpdu::detail::within(p, block_, block_ + capacity_));
  if (insideHeld) {
    buffer = p;
  } else {
    Free(block_);
    block_ = p;
    buffer = p;
    capacity_ = 0;
    sizeKnown_ = false;
  }
  length = 0;
}

void CIPByteBuffer::setLength(unsigned int n) {
  if (buffer == nullptr) return;
  // A shortened view of lent bytes could not expose them again later, as an owning buffer
  // can: it takes its own copy, clamped as a block it made.
  ownLentBytes();
  const long long offset = buffer - block_;
  const long long limit = (sizeKnown_ ? capacity_ : kMaxLength) - offset;
  unsigned int clamped = static_cast<unsigned int>(std::min<long long>(n, limit));
  length = clamped;
  if (!sizeKnown_) capacity_ = static_cast<int>(std::max<long long>(capacity_, offset + clamped));
}

void CIPByteBuffer::resize(int n) {
  const int len = static_cast<int>(length);
  if (n < 0 || n == len) return;
  appendBytes0(n - len);
}

// ---- Appending ----

void CIPByteBuffer::appendBytes0(int count) {
  const int len = static_cast<int>(length);
  if (count < 0) {
    if (count <= -len) {
      empty();
    } else {
      // As for setLength: the dropped bytes must stay there for a later setLength.
      ownLentBytes();
      length = static_cast<unsigned int>(len + count);
    }
    return;
  }
  if (count == 0) return;
  Free(makeRoom(count));
  std::memset(buffer + length, 0, bytes(count));
  length += static_cast<unsigned int>(count);
}

void CIPByteBuffer::appendBytes(unsigned char* src, int count) {
  if (count <= 0) return;
  if (src == nullptr) {
    appendBytes0(count);
  } else {
    appendBytes0(src, count);
  }
}

void CIPByteBuffer::appendBytes(CIPByteBuffer* src, int count) {
  if (src == nullptr || count <= 0 || static_cast<int>(src->length) < count) return;
  appendBytes0(src->buffer, count);
}

void CIPByteBuffer::appendShortSlow(short v) {
  unsigned char wire[2];
  orvelpdu::detail::storeBig16(wire, static_cast<uint16_t>(v));
  appendRaw(wire, SZ_SHORT);
}

void CIPByteBuffer::appendIntSlow(int v) {
  unsigned char wire[4];
  orvelpdu::detail::storeBig32(wire, static_cast<uint32_t>(v));
  appendRaw(wire, SZ_INT);
}

void CIPByteBuffer::appendBytes0(unsigned char* src, int count) {
  if (count <= 0 || src == nullptr) return;
  appendRaw(src, count);
}

void CIPByteBuffer::appendString(char* s, int count) {
  appendBytes(reinterpret_cast<unsigned char*>(s), count);
}

void CIPByteBuffer::appendCString(char* s) {
  if (s == nullptr) return;
  const size_t n = std::strlen(s);
  // As any append past the largest length: refused, never cut to the low 32 bits.
  if (n > static_cast<size_t>(kMaxLength)) throw std::bad_alloc();
  appendString0(s, static_cast<int>(n));
}

// ---- Reading ----

void CIPByteBuffer::readBytes(int count, CIPByteBuffer& dst) const {
  if (&dst == this) return;
  dst.assignBytes(buffer, std::min(count, static_cast<int>(length)));
}

// ---- Removing ----

void CIPByteBuffer::removeBytes(int count, CIPByteBuffer& dst) {
  if (&dst == this) return;
  if (count >= static_cast<int>(length) && length > 0 &&
      orvelpdu::detail::BufferAccess::handsOverBlock(*this)) {
    // Everything goes: the block itself changes hands instead of a copy of its bytes. Only a
    // block this buffer made, whose size it knows, and only when it is not much larger than
    // the bytes it carries (kHandOverFactor), so that a few bytes never keep a large block
    // alive (a framer's last small PDU, queued by the receiver); lent bytes and adopted blocks
    // are copied.
    // Emptied first, dst then holds exactly the empty state, which the swap leaves here.
    dst.empty();
    std::swap(buffer, dst.buffer);
    std::swap(length, dst.length);
    std::swap(block_, dst.block_);
    std::swap(capacity_, dst.capacity_);
    std::swap(sizeKnown_, dst.sizeKnown_);
    return;
  }
  readBytes(count, dst);
  removeBytes0(count);
}

void CIPByteBuffer::removeBuffer(int count, CIPByteBuffer& dst) { removeBytes(count, dst); }

bool orvelpdu::detail::BufferAccess::handsOverBlock(const CIPByteBuffer& b) {
  return b.block_ != nullptr && b.sizeKnown_ &&
         b.capacity_ <= std::max<long long>(kHandOverFactor * b.length, kMinCapacity);
}

void orvelpdu::detail::BufferAccess::takeWhole(CIPByteBuffer& from, CIPByteBuffer& to,
                                               int keepLimit) {
  const int len = static_cast<int>(from.length);
  if (len == 0 || from.block_ == nullptr || !from.sizeKnown_ || handsOverBlock(from) ||
      from.capacity_ > keepLimit) {
    from.removeBytes(len, to);
    return;
  }
  to.assignBytes(from.buffer, len);  // the only step that can fail
  from.buffer = from.block_;
  from.length = 0;
}

void CIPByteBuffer::removeString(char* dst, int count) {
  if (count < 0) return;
  if (dst != nullptr) {
    const int n = std::min(count, static_cast<int>(length));
    // dst may lie in this buffer's own bytes; memmove copies as if through a temporary.
    if (n > 0) std::memmove(dst, buffer, bytes(n));
  }
  removeBytes0(count);
}

namespace orvelpdu::detail {
namespace {

// Length of the C-string field at the front of `p` (n bytes): up to the first NUL or n.
int fieldLength(const unsigned char* p, int n) {
  const void* nul = std::memchr(p, 0, bytes(n));
  return nul == nullptr ? n : static_cast<int>(static_cast<const unsigned char*>(nul) - p);
}

}  // namespace
}  // namespace orvelpdu::detail

int CIPByteBuffer::removeCString(char* dst, int* limit) {
  if (length == 0) return -1;
  const int len = static_cast<int>(length);
  const int text = orvelpdu::detail::fieldLength(buffer, len);
  const bool fits = limit == nullptr || text < *limit;
  if (dst == nullptr || !fits) {
    if (limit != nullptr) *limit = text < kMaxLength ? text + 1 : kMaxLength;
    return 0;
  }
  std::memmove(dst, buffer, bytes(text));
  dst[text] = '\0';
  if (limit != nullptr) *limit = text;
  const int removed = text < len ? text + 1 : text;
  removeBytes0(removed);
  return removed;
}

// ---- Stream operators ----

int CIPByteBuffer::operator<<(char const* text) {
  if (text == nullptr) return 1;
  const size_t n = std::strlen(text);
  // The result, strlen + 1, must fit an int too.
  if (n >= static_cast<size_t>(kMaxLength)) throw std::bad_alloc();
  appendBytes0(reinterpret_cast<unsigned char*>(const_cast<char*>(text)), static_cast<int>(n));
  return static_cast<int>(n) + 1;
}

int CIPByteBuffer::operator>>(char* dst) {
  int limit = kMaxLength;
  return removeCString(dst, &limit);
}

// ---- Hex dump ----

void CIPByteBuffer::getHexDump(CString& s) const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * static_cast<size_t>(length));
  for (unsigned int i = 0; i < length; ++i) {
    const unsigned char b = buffer[i];
    if (b >= 0x10) text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  s = text.c_str();
}

// ---- Access for the library's own parsers ----

// Out of line, so that appendRaw's common case stays small enough to be inlined.
[[gnu::noinline]] void orvelpdu::detail::BufferAccess::appendGrowing(CIPByteBuffer& b,
                                                                     const void* src, int count) {
  const auto* from = static_cast<const unsigned char*>(src);
  // A source among the held bytes (the buffer appending its own bytes, as when it moves bytes
  // from its front to its back) travels with them, whether they move to the front of the
  // block or into a larger one: the dead front is reclaimed in this case too, so the block
  // stays proportional to the length.
  const bool amongHeld = b.buffer != nullptr && within(from, b.buffer, b.buffer + b.length) &&
                         count <= (b.buffer + b.length) - from;
  const long long offset = amongHeld ? from - b.buffer : 0;
  unsigned char* retired = b.growRoomFor(count, amongHeld ? nullptr : src);
  if (amongHeld) from = b.buffer + offset;
  std::memmove(b.buffer + b.length, from, bytes(count));
  b.length += static_cast<unsigned int>(count);
  CIPByteBuffer::Free(retired);
}

void orvelpdu::detail::BufferAccess::lendFront(CIPByteBuffer& source, int count,
                                               CIPByteBuffer& view) {
  view.empty();
  LentFront::lend(source, count, view);
}

void orvelpdu::detail::BufferAccess::lendBytes(const unsigned char* data, int count,
                                               CIPByteBuffer& view) {
  view.empty();
  LentFront::lendBytes(data, count, view);
}

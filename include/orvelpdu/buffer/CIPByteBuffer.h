// CIPByteBuffer is the one carrier of wire bytes: a growable byte array that owns its
// storage. Encoders append fields at the back; parsers read fields at the front and remove
// them, so a buffer holding a whole PDU is consumed field by field.
//
// Field encodings (multi-byte integers are big-endian, as by htons/htonl):
//   byte   1 byte      appendByte   readByte  removeByte
//   short  2 bytes     appendShort  readShort removeShort
//   int    4 bytes     appendInt    readInt   removeInt
//   C-string field: the characters of a text with no terminating NUL and no length prefix;
//   read back up to the first NUL byte or to the end of the held bytes.
//
// Storage. The buffer owns one block from the global operator new and releases it with the
// global operator delete. Appends cost amortised O(field width) (spare capacity grows
// geometrically) and removals from the front cost O(field width) (a read offset; the dead
// prefix is reclaimed when the buffer next needs room, by moving the held bytes to the front
// of the block when they fill at most half of it, else by growing, also when the bytes
// appended are the buffer's own). The memory held stays proportional to the largest length
// since the buffer was last emptied: a block the buffer makes holds at most twice that
// length, or 512 bytes when that is more; a buffer that grows by appending starts with room
// for 512 bytes, so that a typical PDU is built in one block. Removing every byte into another
// buffer (removeBytes, removeBuffer) hands the block itself over rather than copy the bytes
// when the block is at most twice their number or 512 bytes, so the block a destination
// receives is never much larger than what it holds. getBuffer() points at the first held byte and
// is valid only until the next operation that changes the buffer. Every operation other than
// setBuffer, setLength and the adopting constructor that leaves the length at 0 also releases the
// block, so getBuffer() is then null.
//
// The buffer a TLV value parser is handed (CTLV::setValueData) may show the value's bytes where
// they lie in the input rather than a copy. It behaves in every operation as a buffer owning
// those bytes: reads and removals from the front use them in place, and any other change, or
// the writable getBuffer(), first copies them into a block of its own (so setLength, setBuffer
// and getBuffer may then throw std::bad_alloc). The input's bytes are never released, moved
// or written through it.
//
// Allocation failure: std::bad_alloc from the global operator new passes through unchanged,
// and every operation obtains its storage before changing anything, so the buffer (and a
// destination buffer or string it fills) is then exactly as it was.
//
// Arguments outside an operation's limits never corrupt memory: each such case is guarded,
// as the operation's comment says. A buffer is used by one thread at a time.
//
// Binary interface. The hot operations (fixed-width appends, reads and removes and their
// stream operators, the length and block accessors, the default constructor, appendBuffer,
// appending a CString's C-string field)
// are defined inline below, so a client compiles them into its own code: each checks for the
// common case (room behind the held bytes, enough bytes held) and calls the library only
// when the block must grow or the buffer is short. The library still exports every one of
// them, so a binary built against earlier headers keeps running. The data members are
// therefore part of the ABI: their types, order and meaning may change only with the
// library's major version (its SONAME).
#ifndef ORVELPDU_BUFFER_CIPBYTEBUFFER_H_
#define ORVELPDU_BUFFER_CIPBYTEBUFFER_H_

#include <cstdint>
#include <cstring>

#include "orvelpdu/base/CBaseObj.h"
#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/export.h"

namespace orvelpdu::detail {
class BufferAccess;
class LentFront;

// What a read finds on a buffer too short for its field.
inline constexpr unsigned char kFillByte = 0xCD;
inline constexpr int kFillShort = 0xCDCD;
inline constexpr int kFillInt = static_cast<int>(0xCDCDCDCDu);
}  // namespace orvelpdu::detail

class ORVELPDU_API CIPByteBuffer : public CBaseObj {
 public:
  ORVELPDU_INLINE_API CIPByteBuffer();
  // Adopts `data` as the held block and `length` as the length, without copying.
  // REQUIRES: data is null with length 0, or a block from the global operator new (a plain,
  // not an array, allocation) that holds at least `length` bytes. A negative length, or a
  // null block with a positive length, is taken as 0.
  CIPByteBuffer(unsigned char* data, int length);
  // Deep copy: the new buffer holds its own block (none when `other` holds no bytes).
  CIPByteBuffer(const CIPByteBuffer& other);
  // Replaces the content with a copy of `other`'s bytes; self-assignment changes nothing.
  CIPByteBuffer& operator=(const CIPByteBuffer& other);
  ~CIPByteBuffer() override;

  // ---- Storage and state ----

  // The first held byte (not a copy), or null when no block is held. A buffer handed to a
  // TLV value parser (CTLV::setValueData) may show bytes that are not its own; the writable
  // overload then first copies them into a block of its own (which may throw std::bad_alloc),
  // so that writing through it changes this buffer alone.
  ORVELPDU_INLINE_API unsigned char* getBuffer();
  ORVELPDU_INLINE_API const unsigned char* getBuffer() const;
  // Releases the held block (unless `p` points into it, see below) and installs `p`, which may
  // be null, with length 0; follow with setLength to expose bytes `p` holds.
  // A pointer into the held block as far as the buffer knows it keeps the block, becomes the
  // first byte and exposes nothing: getBuffer(), or any pointer from the block's start up to
  // and including its known end. The known end of a block the buffer made is the end of the
  // block; of an adopted one (adopting constructor, setBuffer), the furthest byte the buffer
  // was told it holds: the adopted length, or the furthest setLength since. The buffer cannot
  // know more of an adopted block, so a pointer beyond that is taken as a new block.
  // REQUIRES: p is null, a pointer into the held block as above, or a block from the global
  // operator new that does not overlap the held block; the buffer takes such a block over.
  void setBuffer(unsigned char* p);
  ORVELPDU_INLINE_API unsigned int getLength() const;
  // Sets the length without touching the bytes.
  // REQUIRES: n does not exceed what the held block holds from getBuffer() on. For a block
  // the buffer made itself, a larger n is clamped to the block, whose bytes past those held
  // are zero or bytes it held before (never uninitialised memory); a block handed in
  // (adopting constructor, setBuffer) is trusted; with no block, n is ignored.
  void setLength(unsigned int n);
  // 1 when the length is 0, else 0.
  ORVELPDU_INLINE_API int isEmpty() const;
  // Releases the block: no block held, length 0.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE void empty();
  // Sets the length to n: the first min(n, length) bytes are kept, new bytes are zero.
  // A negative n, or n equal to the length, changes nothing; n == 0 empties the buffer.
  void resize(int n);

  // ---- Appending at the back ----

  // Appends `count` bytes copied from `src`, which may point into this buffer's own bytes
  // (the bytes as they were before the call are appended).
  // REQUIRES: count >= 0 and src readable for count bytes. A negative count, or a null src
  // with a positive count, appends nothing.
  void appendBytes0(unsigned char* src, int count);
  // Appends `count` zero bytes. A negative count drops that many bytes from the end.
  // REQUIRES: count >= -length; a smaller count is clamped to -length.
  void appendBytes0(int count);
  // count <= 0: nothing. Otherwise `count` bytes from `src`, or `count` zero bytes when `src`
  // is null.
  void appendBytes(unsigned char* src, int count);
  // The first `count` bytes of `src` (which may be this buffer). Nothing unless count > 0,
  // src is not null and src holds at least count bytes.
  void appendBytes(CIPByteBuffer* src, int count);
  // All of `src`'s bytes (which may be this buffer); nothing when src is null or holds none.
  ORVELPDU_INLINE_API void appendBuffer(CIPByteBuffer* src);
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE void appendByte(unsigned char v);
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE void appendShort(short v);
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE void appendInt(int v);
  // As appendBytes0 / appendBytes, for characters.
  ORVELPDU_INLINE_API void appendString0(char* s, int count);
  void appendString(char* s, int count);
  // The strlen(s) characters of `s`, without a NUL. A null `s` appends nothing. A text longer
  // than 2^31 - 1 characters is refused with std::bad_alloc, as any append past that length.
  void appendCString(char* s);
  // All characters `s` holds by its length count, NUL bytes included, without a terminating
  // NUL; afterwards `s` holds only the text before its first NUL (its length is recounted).
  ORVELPDU_INLINE_API void appendCString(CString& s);

  // ---- Reading at the front, without removing ----

  // A read that finds too few bytes answers the fill byte 0xCD repeated over the field's
  // width. Fill values can also be real data: a caller that must tell them apart checks
  // getLength() first.

  // The first byte; 0xCD when no byte is held.
  ORVELPDU_INLINE_API unsigned char readByte() const;
  // The first two bytes as an unsigned big-endian number, 0..65535; 0xCDCD when short.
  ORVELPDU_INLINE_API int readShort() const;
  // The first four bytes as a signed big-endian number; 0xCDCDCDCD (-842150451) when short.
  ORVELPDU_INLINE_API int readInt() const;
  // `dst` ends up holding exactly the first min(count, length) bytes (none when count <= 0);
  // what it held before is discarded. REQUIRES: &dst != this (then nothing happens).
  void readBytes(int count, CIPByteBuffer& dst) const;

  // ---- Removing from the front ----

  // Drops the first `count` bytes; count >= length empties the buffer.
  // REQUIRES: count >= 0; a negative count changes nothing.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE void removeBytes0(int count);
  // readBytes(count, dst), then removeBytes0(count). REQUIRES: &dst != this (then nothing).
  void removeBytes(int count, CIPByteBuffer& dst);
  void removeBuffer(int count, CIPByteBuffer& dst);
  // Read the field, then drop its width whether or not it was all there: a short buffer
  // gives the fill value and ends empty. removeShort returns the 16 bits as signed.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE unsigned char removeByte();
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE short removeShort();
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int removeInt();
  // count < 0: nothing. dst null: drops count bytes. Otherwise copies min(count, length)
  // bytes to dst (no NUL added) and drops them. REQUIRES: dst writable for that many bytes;
  // it may overlap this buffer's own bytes (the bytes are copied as they were).
  void removeString(char* dst, int count);
  // Sets `s` to the C-string field at the front and removes it together with the NUL that
  // ends it, when there is one: 61 62 00 63 gives "ab" and leaves 63. Returns 1; on an empty
  // buffer, `s` becomes empty and the result is 0.
  ORVELPDU_INLINE_API ORVELPDU_ALWAYS_INLINE int removeCString(CString& s);
  // The field is the text at the front up to the first NUL, or all held bytes when none is
  // NUL. Empty buffer: -1, nothing changes. When `limit` is null or the text plus a NUL fits
  // into *limit bytes: the text and a NUL are stored in `dst`, the text and its ending NUL
  // (when present) are removed, *limit (when given) receives the text's length, and the
  // result is the number of bytes removed. Otherwise (or when dst is null): nothing is stored
  // or removed, *limit receives the size needed (text length + 1), and the result is 0.
  // REQUIRES: dst writable for the text plus a NUL, or for *limit bytes; it may overlap this
  // buffer's own bytes.
  int removeCString(char* dst, int* limit);

  // ---- Stream operators: append or remove one field, return its width in bytes ----

  ORVELPDU_INLINE_API int operator<<(int const& v);
  ORVELPDU_INLINE_API int operator<<(unsigned int const& v);
  // The low 32 bits of v, as appendInt.
  ORVELPDU_INLINE_API int operator<<(unsigned long v);
  ORVELPDU_INLINE_API int operator<<(short const& v);
  ORVELPDU_INLINE_API int operator<<(unsigned short const& v);
  ORVELPDU_INLINE_API int operator<<(char const& v);
  // Appends the text without a NUL; returns strlen + 1. A null text appends nothing, returns 1.
  // A text of 2^31 - 1 characters or more, whose result an int cannot hold, is refused with
  // std::bad_alloc.
  int operator<<(char const* text);

  // Store the removed field (the fill value on a short buffer, which then ends empty).
  ORVELPDU_INLINE_API int operator>>(int& v);
  ORVELPDU_INLINE_API int operator>>(unsigned int& v);
  // Stores the 32 bits zero-extended.
  ORVELPDU_INLINE_API int operator>>(unsigned long& v);
  ORVELPDU_INLINE_API int operator>>(short& v);
  ORVELPDU_INLINE_API int operator>>(unsigned short& v);
  ORVELPDU_INLINE_API int operator>>(char& v);
  // removeCString(dst, limit 2^31 - 1); returns its result (-1 on an empty buffer).
  // REQUIRES: dst writable for the text at the front plus a NUL.
  int operator>>(char* dst);

  // Sets `s` to each held byte formatted as by "%X" (upper-case hex without leading zeros,
  // so 0x0A gives "A"), with no separator; empty when no bytes are held.
  void getHexDump(CString& s) const;

 protected:
  // A new zero-filled block of n bytes (n <= 0 gives null).
  static unsigned char* Malloc(int n);
  // A new zero-filled block of `size` bytes holding the first min(length, size) bytes of
  // `old`; `old` is then released. The new block is obtained before `old` is touched.
  static unsigned char* Realloc(unsigned char* old, int length, int size);
  // Releases p with the global operator delete; null is ignored.
  static void Free(unsigned char* p);

 private:
  // The library's own parsers look at bytes in place through it (no client can).
  friend class orvelpdu::detail::BufferAccess;
  // Inline code of the public headers (a TLV's frame, a described parameter) lends bytes
  // through it.
  friend class orvelpdu::detail::LentFront;

  static const unsigned char SZ_BYTE;
  static const unsigned char SZ_SHORT;
  static const unsigned char SZ_INT;
  static const unsigned char SZ_LONG64;

  // True when `count` (> 0) more bytes fit behind the held ones in the held block: one
  // comparison of addresses, as signed 64-bit numbers. Without a block the block's end counts
  // as 0 (no block, capacity 0) or below (lent bytes, negative capacity), which no bytes fit
  // behind.
  bool hasRoom(unsigned int count) const {
    return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(buffer)) + length + count <=
           static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(block_)) + capacity_;
  }
  // Makes room for `count` (> 0) more bytes behind the held ones, moving the held bytes to a
  // larger block when needed. Returns the block that was left, which the caller releases
  // once it has copied what it appends (it may come from that block), or null. Throws
  // before changing anything.
  unsigned char* makeRoom(int count);
  // makeRoom's way when the held block has no room: a larger block, or std::bad_alloc.
  unsigned char* growRoom(int count);
  // growRoom, except that the held bytes may instead move to the front of the block (the
  // dead prefix reclaimed) when `src`, the bytes about to be appended, lies outside it.
  unsigned char* growRoomFor(int count, const void* src);
  // The fixed-width fields' way when there is no room: grows, then stores.
  void appendShortSlow(short v);
  void appendIntSlow(int v);
  // Appends `count` (> 0) bytes from `src`, which may lie inside the held block.
  void appendRaw(const void* src, int count);
  // Replaces the content with a copy of `count` bytes at `src`; count <= 0 empties.
  void assignBytes(const unsigned char* src, int count);
  // Drops `count` bytes from the front, 0 < count < length.
  void dropFront(int count);
  // True while the buffer shows bytes lent to it (see `block_`).
  bool showsLentBytes() const;
  // Copies the lent bytes, those already removed included, into a block of this buffer's
  // own and keeps its place in them; nothing when no bytes are lent. Throws std::bad_alloc
  // before changing anything.
  void ownLentBytes();

  // Data members: part of the ABI (see the top of this file).
  unsigned char* buffer;  // first held byte, inside `block_`
  unsigned int length;    // bytes held from `buffer` on; never above 2^31 - 1
  // Start of the held allocation, or null. Null with a non-null `buffer`: the bytes are
  // another buffer's, lent for the length of one library call (BufferAccess); they are never
  // released, moved or written. Reads and removals from the front use them where they lie;
  // every other change, and the writable getBuffer(), first copies them into a block.
  unsigned char* block_;
  // Bytes usable from `block_` on, when `sizeKnown_`. For lent bytes: minus the number lent,
  // counted from the first one lent, so the lent bytes start `-capacity_ - length` before
  // `buffer`; negative, so that no room check ever finds room among them.
  int capacity_;
  bool sizeKnown_;  // false for a block handed in by the caller
};

namespace orvelpdu::detail {

// How the library's inline parsing code (a TLV's frame, a described parameter) hands value
// bytes to a value parser without copying them. Not for clients.
class LentFront {
 public:
  // Makes `view` show the first min(count, length) bytes of `source` in place, as if they had
  // been copied into it (nothing when that is 0 or less). The view reads and removes them
  // without copying; any other change, and its writable getBuffer(), first copies them into
  // a block of its own. The bytes stay `source`'s.
  // REQUIRES: `view` holds no block (new or emptied), &view != &source, and `source` is not
  // changed while `view` shows its bytes (empty() or destroying `view` ends that).
  static void lend(const CIPByteBuffer& source, int count, CIPByteBuffer& view) {
    const int lent =
        count < static_cast<int>(source.length) ? count : static_cast<int>(source.length);
    if (lent <= 0) return;
    view.buffer = source.buffer;
    view.length = static_cast<unsigned int>(lent);
    view.capacity_ = -lent;
  }
  // Ends a view made with placement new over lent bytes, in place of its destructor call: the
  // destructor runs only when the view made a block of its own (a value parser that changed
  // it). A view that only read and removed lent bytes owns nothing, and its destructor would
  // have no effect that anything depends on, so its storage is simply reused; this saves a
  // call per value parsed, which the TLV benchmarks measure.
  static void end(CIPByteBuffer& view) {
    if (view.block_ != nullptr) view.~CIPByteBuffer();
  }
  // The same as lend for `count` bytes at `data`, which need not belong to any buffer; never
  // written through. REQUIRES: `view` holds no block; data readable for count bytes and unchanged
  // while `view` shows them.
  static void lendBytes(const unsigned char* data, int count, CIPByteBuffer& view) {
    if (count <= 0) return;
    view.buffer = const_cast<unsigned char*>(data);
    view.length = static_cast<unsigned int>(count);
    view.capacity_ = -count;
  }
};

}  // namespace orvelpdu::detail

// ---- Inline fast paths ----

inline CIPByteBuffer::CIPByteBuffer()
    : buffer(nullptr), length(0), block_(nullptr), capacity_(0), sizeKnown_(true) {}

// Written through, lent bytes would change the source's: the view takes its own copy first.
inline unsigned char* CIPByteBuffer::getBuffer() {
  if (block_ == nullptr && buffer != nullptr) ownLentBytes();
  return buffer;
}

inline const unsigned char* CIPByteBuffer::getBuffer() const { return buffer; }

inline void CIPByteBuffer::empty() {
  if (block_ != nullptr) Free(block_);
  block_ = nullptr;
  buffer = nullptr;
  length = 0;
  capacity_ = 0;
  sizeKnown_ = true;
}

inline unsigned int CIPByteBuffer::getLength() const { return length; }

inline int CIPByteBuffer::isEmpty() const { return length == 0 ? 1 : 0; }

inline void CIPByteBuffer::appendByte(unsigned char v) {
  if (!hasRoom(1)) {
    appendRaw(&v, 1);
    return;
  }
  buffer[length] = v;
  length += 1;
}

inline void CIPByteBuffer::appendShort(short v) {
  if (!hasRoom(2)) {
    appendShortSlow(v);
    return;
  }
  orvelpdu::detail::storeBig16(buffer + length, static_cast<std::uint16_t>(v));
  length += 2;
}

inline void CIPByteBuffer::appendInt(int v) {
  if (!hasRoom(4)) {
    appendIntSlow(v);
    return;
  }
  orvelpdu::detail::storeBig32(buffer + length, static_cast<std::uint32_t>(v));
  length += 4;
}

// Without growth the source cannot overlap the destination: `src`'s bytes are held bytes (of
// this buffer or another), never this buffer's spare room.
inline void CIPByteBuffer::appendBuffer(CIPByteBuffer* src) {
  if (src == nullptr || src->buffer == nullptr || src->length == 0) return;
  if (!hasRoom(src->length)) {
    appendRaw(src->buffer, static_cast<int>(src->length));
    return;
  }
  std::memcpy(buffer + length, src->buffer, src->length);
  length += src->length;
}

// memmove: `s` may lie among the held bytes.
inline void CIPByteBuffer::appendString0(char* s, int count) {
  if (count <= 0 || s == nullptr) return;
  if (!hasRoom(static_cast<unsigned int>(count))) {
    appendRaw(s, count);
    return;
  }
  std::memmove(buffer + length, s, static_cast<std::size_t>(count));
  length += static_cast<unsigned int>(count);
}

inline unsigned char CIPByteBuffer::readByte() const {
  return length < 1 ? orvelpdu::detail::kFillByte : buffer[0];
}

inline int CIPByteBuffer::readShort() const {
  return length < 2 ? orvelpdu::detail::kFillShort : orvelpdu::detail::loadBig16(buffer);
}

inline int CIPByteBuffer::readInt() const {
  return length < 4 ? orvelpdu::detail::kFillInt
                    : static_cast<int>(orvelpdu::detail::loadBig32(buffer));
}

// One comparison on the common path, more bytes held than the field takes. A remove that
// takes the last held bytes (or finds too few) empties the buffer, which releases the block:
// that is the library's call.
inline unsigned char CIPByteBuffer::removeByte() {
  if (length > 1) {
    const unsigned char v = buffer[0];
    buffer += 1;
    length -= 1;
    return v;
  }
  const unsigned char v = readByte();
  empty();
  return v;
}

inline short CIPByteBuffer::removeShort() {
  if (length > 2) {
    const std::uint16_t v = orvelpdu::detail::loadBig16(buffer);
    buffer += 2;
    length -= 2;
    return static_cast<short>(v);
  }
  const int v = readShort();
  empty();
  return static_cast<short>(static_cast<std::uint16_t>(v));
}

inline int CIPByteBuffer::removeInt() {
  if (length > 4) {
    const std::uint32_t v = orvelpdu::detail::loadBig32(buffer);
    buffer += 4;
    length -= 4;
    return static_cast<int>(v);
  }
  const int v = readInt();
  empty();
  return v;
}

inline void CIPByteBuffer::removeBytes0(int count) {
  if (count < 0) return;
  if (static_cast<unsigned int>(count) >= length) {
    empty();
    return;
  }
  buffer += count;
  length -= static_cast<unsigned int>(count);
}

// One copy into `s`; should `s` fail to grow, both `s` and the buffer are left as they were.
inline int CIPByteBuffer::removeCString(CString& s) {
  if (length == 0) {
    s.Empty();
    return 0;
  }
  const void* nul = std::memchr(buffer, 0, length);
  const unsigned int text =
      nul == nullptr ? length
                     : static_cast<unsigned int>(static_cast<const unsigned char*>(nul) - buffer);
  orvelpdu::detail::StringAccess::assign(s, reinterpret_cast<const char*>(buffer), text);
  removeBytes0(static_cast<int>(text < length ? text + 1 : text));
  return 1;
}

// The characters are copied out of the string, never from this buffer's block, so that the
// common case needs no overlap check.
inline void CIPByteBuffer::appendCString(CString& s) {
  const int count = s.GetLength();
  // GetBuffer(count) would hand out the same characters: a string is never shorter than its
  // own length.
  const char* text = s;
  if (count > 0) {
    if (hasRoom(static_cast<unsigned int>(count))) {
      std::memcpy(buffer + length, text, static_cast<std::size_t>(count));
      length += static_cast<unsigned int>(count);
    } else {
      appendRaw(text, count);
    }
  }
  s.ReleaseBuffer();
}

inline int CIPByteBuffer::operator<<(int const& v) {
  appendInt(v);
  return 4;
}

inline int CIPByteBuffer::operator<<(unsigned int const& v) {
  appendInt(static_cast<int>(v));
  return 4;
}

inline int CIPByteBuffer::operator<<(unsigned long v) {
  appendInt(static_cast<int>(static_cast<std::uint32_t>(v)));
  return 4;
}

inline int CIPByteBuffer::operator<<(short const& v) {
  appendShort(v);
  return 2;
}

inline int CIPByteBuffer::operator<<(unsigned short const& v) {
  appendShort(static_cast<short>(v));
  return 2;
}

inline int CIPByteBuffer::operator<<(char const& v) {
  appendByte(static_cast<unsigned char>(v));
  return 1;
}

inline int CIPByteBuffer::operator>>(int& v) {
  v = removeInt();
  return 4;
}

inline int CIPByteBuffer::operator>>(unsigned int& v) {
  v = static_cast<unsigned int>(removeInt());
  return 4;
}

inline int CIPByteBuffer::operator>>(unsigned long& v) {
  v = static_cast<std::uint32_t>(removeInt());
  return 4;
}

inline int CIPByteBuffer::operator>>(short& v) {
  v = removeShort();
  return 2;
}

inline int CIPByteBuffer::operator>>(unsigned short& v) {
  v = static_cast<unsigned short>(removeShort());
  return 2;
}

inline int CIPByteBuffer::operator>>(char& v) {
  v = static_cast<char>(removeByte());
  return 1;
}

#endif  // ORVELPDU_BUFFER_CIPBYTEBUFFER_H_

// Checked reads: the buffer's field reads for a receiver that must never act on a fill value.
//
// Each take* removes one field from the front of `in` and each peek* reads one at a byte
// offset without removing anything. Every one of them reports whether the whole field was
// there: on true the value is stored in `out` and (for a take) exactly the field's bytes are
// removed; on false `out` and `in` are left exactly as they were. No fill value is ever
// produced, and nothing is allocated beyond what the value itself needs (a CString's or a
// destination buffer's storage); std::bad_alloc from that storage passes through with `in`
// and `out` unchanged.
//
// The field encodings are the buffer's own (multi-byte integers big-endian). A C-string field
// taken here must end in a NUL byte inside the held bytes: the text before the NUL is the
// value and the NUL is removed with it, so a field cut short before its NUL is refused rather
// than read to the end of the bytes as removeCString does.
//
// The functions keep no state; a buffer is used by one thread at a time as always.
#ifndef ORVELPDU_BUFFER_CHECKEDREADS_H_
#define ORVELPDU_BUFFER_CHECKEDREADS_H_

#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"

namespace orvelpdu {

// ---- Removing one field from the front ----

[[nodiscard]] ORVELPDU_API bool takeByte(CIPByteBuffer& in, unsigned char& out);
// Two bytes as a signed (0xFF 0xFE gives -2) or an unsigned (65534) 16-bit number.
[[nodiscard]] ORVELPDU_API bool takeShort(CIPByteBuffer& in, short& out);
[[nodiscard]] ORVELPDU_API bool takeShort(CIPByteBuffer& in, unsigned short& out);
// Four bytes as a signed or an unsigned 32-bit number.
[[nodiscard]] ORVELPDU_API bool takeInt(CIPByteBuffer& in, int& out);
[[nodiscard]] ORVELPDU_API bool takeInt(CIPByteBuffer& in, unsigned int& out);
// `count` bytes: `out` is replaced by exactly them (count 0 gives an empty `out`).
// A negative count, fewer than `count` bytes held, or &out == &in is refused.
[[nodiscard]] ORVELPDU_API bool takeBytes(CIPByteBuffer& in, int count, CIPByteBuffer& out);
// `count` bytes as the characters of `out`, NUL bytes included (its length becomes count).
[[nodiscard]] ORVELPDU_API bool takeBytes(CIPByteBuffer& in, int count, CString& out);
// The C-string field at the front, which must end in a NUL: `out` becomes the text before the
// NUL, and the text and the NUL are removed. Refused on an empty buffer and when no held
// byte is NUL.
[[nodiscard]] ORVELPDU_API bool takeCString(CIPByteBuffer& in, CString& out);

// ---- Reading at an offset, removing nothing ----

// The field whose first byte lies `offset` bytes after the first held byte; refused when the
// field does not lie wholly inside the held bytes. peekInt(in, 0, v) is the command length
// of a header at the front, peekInt(in, 4, v) its command id.
[[nodiscard]] ORVELPDU_API bool peekByte(const CIPByteBuffer& in, unsigned int offset,
                                         unsigned char& out);
[[nodiscard]] ORVELPDU_API bool peekShort(const CIPByteBuffer& in, unsigned int offset, short& out);
[[nodiscard]] ORVELPDU_API bool peekShort(const CIPByteBuffer& in, unsigned int offset,
                                          unsigned short& out);
[[nodiscard]] ORVELPDU_API bool peekInt(const CIPByteBuffer& in, unsigned int offset, int& out);
[[nodiscard]] ORVELPDU_API bool peekInt(const CIPByteBuffer& in, unsigned int offset,
                                        unsigned int& out);

}  // namespace orvelpdu

#endif  // ORVELPDU_BUFFER_CHECKEDREADS_H_

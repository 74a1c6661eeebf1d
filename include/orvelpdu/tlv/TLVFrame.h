// Strict TLV frames: reading the tag-length-value items at the front of a buffer without ever
// trusting a length that runs past the bytes held.
//
// A frame is the tag (2 bytes, big-endian), the length (2 bytes, unsigned, big-endian) and
// that many value bytes. CTLV::setData parses a frame cut short from whatever bytes remain
// and reports nothing; the functions here refuse such a frame with nothing consumed, so a
// receiver can tell a value taken, a value its type refused and input that ends too early.
//
// Like CTLV::setData, parseTLVFrame shows the value bytes to the TLV's setValueData where
// they lie, without copying them into a scratch buffer.
//
// The functions keep no state; a buffer and a TLV are used by one thread at a time.
#ifndef ORVELPDU_TLV_TLVFRAME_H_
#define ORVELPDU_TLV_TLVFRAME_H_

#include <string>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

namespace orvelpdu {

// The tag and length fields of a frame.
struct TLVFrameHead {
  static constexpr unsigned int kSize = 4;  // bytes of the tag and length fields

  short tag = 0;
  int length = 0;  // value bytes, 0..65535

  // The whole frame's bytes.
  unsigned int frameSize() const { return kSize + static_cast<unsigned int>(length); }
};

enum class TLVFrameResult {
  // The frame was whole and the TLV took its value: the frame is removed, the TLV has the
  // frame's tag and the value.
  kTaken,
  // The frame was whole but the TLV refused its value (a length outside the TLV's limits, or
  // setValueData answered 0): the frame is removed, the TLV has the frame's tag and keeps the
  // value and value-set flag it had.
  kRefused,
  // Fewer than four bytes, or a length past the bytes held: nothing is removed and the TLV is
  // not touched.
  kCutShort,
};

// The head of the frame that starts `offset` bytes after the first held byte. false (and
// `head` unchanged) when fewer than four bytes lie there; the value bytes are not required.
[[nodiscard]] ORVELPDU_API bool peekTLVFrame(const CIPByteBuffer& in, unsigned int offset,
                                             TLVFrameHead& head);
// True when a whole frame (head and every value byte) lies at the front of `in`.
[[nodiscard]] ORVELPDU_API bool holdsTLVFrame(const CIPByteBuffer& in);

// Parses the frame at the front of `in` into `tlv`, whatever the frame's tag is: the caller
// picks the TLV, usually by peeking at the tag first. The value's length is first checked
// against the TLV's limits (CTLV::checkLength), then setValueData decides. std::bad_alloc
// from setValueData passes through with nothing removed and the tag unchanged.
[[nodiscard]] ORVELPDU_API TLVFrameResult parseTLVFrame(CIPByteBuffer& in, CTLV& tlv);

// Gives `tlv` the tag `tag` and the `length` value bytes at `value`, of a frame whose head the
// caller has already read and checked: the length is checked against the TLV's limits, then
// setValueData decides, seeing the bytes where they lie. kTaken or kRefused, as parseTLVFrame
// answers for a whole frame. REQUIRES: value readable for length bytes, 0 <= length <= 65535.
[[nodiscard]] ORVELPDU_API TLVFrameResult takeTLVValue(CTLV& tlv, short tag,
                                                       const unsigned char* value, int length);

// The result vocabulary's form of a TLV frame result, for the field `field`.
[[nodiscard]] ORVELPDU_API Result toResult(TLVFrameResult frame, const std::string& field);

// Removes the whole frame at the front of `in`; false, with nothing removed, when it is cut
// short.
[[nodiscard]] ORVELPDU_API bool skipTLVFrame(CIPByteBuffer& in);

}  // namespace orvelpdu

#endif  // ORVELPDU_TLV_TLVFRAME_H_

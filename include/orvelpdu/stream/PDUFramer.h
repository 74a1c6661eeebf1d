// PDUFramer splits a received byte stream into whole PDUs by their command length, the first
// header field: a PDU is the `command length` bytes from its first byte on.
//
// Use: after every read from the connection, feed() the bytes read (any number, 1 byte or
// many PDUs at once), then call next() until it stops answering kFrame. Each kFrame hands out
// the oldest PDU whose last byte has arrived, in stream order, as a buffer that holds exactly
// its bytes, ready for the PDU's setData.
//
// Framing errors. A command length below 16 (no room for the header) or above the maximum
// frame length the framer was built with means the stream has lost its framing, or the peer
// is hostile: nothing after that point can be trusted, so the framer stays failed for good.
// next() hands out the PDUs before the bad header, then answers kFramingError from then on,
// feed() ignores every byte, and the bytes held are released. The caller disconnects.
//
// Cost and memory: each received byte is copied into the framer once and out once, so framing
// costs amortised O(1) per byte whatever the chunking. A PDU that is all the framer holds takes
// the framer's storage with it, without a copy, when that storage is at most twice the PDU's
// bytes or 512 bytes; otherwise it is copied, so a PDU handed out never keeps more than that
// alive, and the framer keeps its storage, up to 64 KiB, for the chunks still to come. A caller
// that drains next() after every feed() makes the framer hold at most one incomplete PDU (below the
// maximum frame length) plus one chunk; its storage, grown geometrically from the bytes it must
// hold, is at most twice that, or 512 bytes.
//
// std::bad_alloc from storing bytes passes through feed() with nothing of the chunk stored,
// and through next() with the PDU still held, so a retry loses nothing. A framer is used by
// one thread at a time; it owns the bytes it holds, and copies are not allowed.
#ifndef ORVELPDU_STREAM_PDUFRAMER_H_
#define ORVELPDU_STREAM_PDUFRAMER_H_

#include <cstddef>
#include <cstdint>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"

namespace orvelpdu {

class ORVELPDU_API PDUFramer {
 public:
  // The smallest frame: the 16-byte header alone. Exported as a variable since 1.1.
  ORVELPDU_INLINE_API static constexpr int kMinFrameLength = 16;
  // The maximum frame length of a framer built without one: 1 MiB. It bounds what a peer can
  // make the receiver hold for one PDU, and is far above what a PDU of 16-bit-length fields
  // usually needs; set a smaller one when the protocol's PDUs are known to be smaller.
  static constexpr int kDefaultMaxFrameLength = 1 << 20;

  enum class Result {
    kFrame,         // `pdu` holds the next whole PDU
    kNeedMore,      // no whole PDU is held yet; feed more bytes
    kFramingError,  // the stream broke its framing (see above); disconnect
  };

  // A maximum below 16 is taken as 16.
  explicit PDUFramer(int maxFrameLength = kDefaultMaxFrameLength);
  PDUFramer(const PDUFramer&) = delete;
  PDUFramer& operator=(const PDUFramer&) = delete;
  ~PDUFramer();

  // Stores `size` received bytes behind those held. false once the framer has failed (the
  // bytes are then ignored). REQUIRES: data readable for size bytes (null only with size 0).
  bool feed(const unsigned char* data, std::size_t size);
  // Hands out the next whole PDU: on kFrame `pdu` is replaced by exactly its bytes; otherwise
  // `pdu` is left alone. A framing error is found here, as soon as the bad header's command
  // length field is complete.
  [[nodiscard]] Result next(CIPByteBuffer& pdu);

  bool failed() const { return failed_; }
  // The command length that broke the framing, as the field's unsigned 32-bit value (0 before
  // a failure), and the stream offset of the header that carried it.
  std::uint32_t badLength() const { return badLength_; }
  std::uint64_t badOffset() const { return badOffset_; }

  int maxFrameLength() const { return maxFrameLength_; }
  // Bytes received and not yet handed out.
  std::size_t buffered() const { return held_.getLength(); }
  // Bytes handed out in PDUs since construction.
  std::uint64_t consumed() const { return consumed_; }

 private:
  CIPByteBuffer held_;  // received bytes not yet handed out, oldest first
  int maxFrameLength_;
  bool failed_ = false;
  std::uint32_t badLength_ = 0;
  std::uint64_t badOffset_ = 0;
  std::uint64_t consumed_ = 0;
};

// The result vocabulary's form of `result` from `framer`.next(): success for kFrame and
// kNeedMore; for kFramingError a kFramingError of "command_length" whose detail gives the bad
// length and its stream offset.
[[nodiscard]] ORVELPDU_API Result toResult(const PDUFramer& framer, PDUFramer::Result result);

}  // namespace orvelpdu

#endif  // ORVELPDU_STREAM_PDUFRAMER_H_

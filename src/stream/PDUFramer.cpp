#include "orvelpdu/stream/PDUFramer.h"

#include <algorithm>
#include <climits>
#include <new>
#include <string>

#include "buffer/BufferAccess.h"
#include "orvelpdu/buffer/CheckedReads.h"

namespace orvelpdu {
namespace {

// The most storage an idle framer keeps for the next chunk; more is released once every byte
// held has been handed out.
constexpr int kKeptStorage = 64 * 1024;

}  // namespace

PDUFramer::PDUFramer(int maxFrameLength)
    : maxFrameLength_(std::max(maxFrameLength, kMinFrameLength)) {}

PDUFramer::~PDUFramer() = default;

bool PDUFramer::feed(const unsigned char* data, std::size_t size) {
  if (failed_) return false;
  if (size == 0) return true;
  // A buffer holds at most 2^31 - 1 bytes; beyond that the chunk cannot be stored at all.
  if (size > static_cast<std::size_t>(INT_MAX) - held_.getLength()) throw std::bad_alloc();
  // The buffer's append grows its storage geometrically, so the bytes already held are not
  // copied again for every chunk.
  held_.appendBytes0(const_cast<unsigned char*>(data), static_cast<int>(size));
  return true;
}

PDUFramer::Result PDUFramer::next(CIPByteBuffer& pdu) {
  if (failed_) return Result::kFramingError;
  unsigned int length = 0;
  if (!peekInt(held_, 0, length)) return Result::kNeedMore;
  if (length < static_cast<unsigned int>(kMinFrameLength) ||
      length > static_cast<unsigned int>(maxFrameLength_)) {
    failed_ = true;
    badLength_ = length;
    badOffset_ = consumed_;
    held_.empty();
    return Result::kFramingError;
  }
  const unsigned int held = held_.getLength();
  if (held < length) return Result::kNeedMore;
  if (held == length) {
    // The PDU is all that is held: the storage changes hands with it when it is not much
    // larger than the PDU; otherwise the PDU is copied and the storage, unless large, stays
    // for the bytes still to come, so the next chunk needs no allocation.
    detail::BufferAccess::takeWhole(held_, pdu, kKeptStorage);
  } else {
    held_.removeBytes(static_cast<int>(length), pdu);
  }
  consumed_ += length;
  return Result::kFrame;
}

Result toResult(const PDUFramer& framer, PDUFramer::Result result) {
  if (result != PDUFramer::Result::kFramingError) return Result();
  return Result(Outcome::kFramingError, "command_length",
                std::to_string(framer.badLength()) + " at stream offset " +
                    std::to_string(framer.badOffset()));
}

}  // namespace orvelpdu

#include "orvelpdu/tlv/TLVFrame.h"

#include "buffer/BufferAccess.h"
#include "orvelpdu/buffer/ByteOrder.h"

namespace orvelpdu {

bool peekTLVFrame(const CIPByteBuffer& in, unsigned int offset, TLVFrameHead& head) {
  // Both fields at once, with one bounds check that cannot overflow; called once or twice per
  // TLV a receiver parses.
  const unsigned int held = in.getLength();
  if (offset > held || held - offset < TLVFrameHead::kSize) return false;
  const unsigned char* field = in.getBuffer() + offset;
  head.tag = static_cast<short>(detail::loadBig16(field));
  head.length = static_cast<int>(detail::loadBig16(field + 2));
  return true;
}

bool holdsTLVFrame(const CIPByteBuffer& in) {
  TLVFrameHead head;
  return peekTLVFrame(in, 0, head) && head.frameSize() <= in.getLength();
}

TLVFrameResult parseTLVFrame(CIPByteBuffer& in, CTLV& tlv) {
  TLVFrameHead head;
  if (!peekTLVFrame(in, 0, head) || head.frameSize() > in.getLength()) {
    return TLVFrameResult::kCutShort;
  }
  const int frame = static_cast<int>(head.frameSize());
  bool taken = false;
  if (tlv.checkLength(head.length) == 1) {
    // The view shows the frame where it lies; dropping the head from the view moves no byte,
    // so setValueData sees exactly the value bytes. `in` keeps them until the view is gone.
    CIPByteBuffer value;
    detail::BufferAccess::lendFront(in, frame, value);
    value.removeBytes0(static_cast<int>(TLVFrameHead::kSize));
    taken = tlv.setValueData(value) != 0;
  }
  in.removeBytes0(frame);
  tlv.setTag(head.tag);
  return taken ? TLVFrameResult::kTaken : TLVFrameResult::kRefused;
}

TLVFrameResult takeTLVValue(CTLV& tlv, short tag, const unsigned char* value, int length) {
  bool taken = false;
  if (tlv.checkLength(length) == 1) {
    CIPByteBuffer view;
    detail::BufferAccess::lendBytes(value, length, view);
    taken = tlv.setValueData(view) != 0;
  }
  tlv.setTag(tag);
  return taken ? TLVFrameResult::kTaken : TLVFrameResult::kRefused;
}

Result toResult(TLVFrameResult frame, const std::string& field) {
  switch (frame) {
    case TLVFrameResult::kTaken:
      return Result();
    case TLVFrameResult::kRefused:
      return Result(Outcome::kParameterRefused, field);
    case TLVFrameResult::kCutShort:
      break;
  }
  return Result(Outcome::kCutShort, field);
}

bool skipTLVFrame(CIPByteBuffer& in) {
  TLVFrameHead head;
  if (!peekTLVFrame(in, 0, head) || head.frameSize() > in.getLength()) return false;
  in.removeBytes0(static_cast<int>(head.frameSize()));
  return true;
}

}  // namespace orvelpdu

// What the library's own parsers may do with a CIPByteBuffer that its public interface does
// not offer: look at bytes where they lie instead of copying them into a scratch buffer.
// Internal to the library; not installed.
#ifndef ORVELPDU_SRC_BUFFER_BUFFERACCESS_H_
#define ORVELPDU_SRC_BUFFER_BUFFERACCESS_H_

#include "orvelpdu/buffer/CIPByteBuffer.h"

namespace orvelpdu::detail {

class BufferAccess {
 public:
  // Makes `view` show the first min(count, length) bytes of `source` in place, as if they had
  // been copied into it (an empty view, with no block, when that is 0 or less). Whatever
  // `view` held before is released. The view reads and removes the lent bytes without copying
  // them; any other change, and its writable getBuffer(), first copies them into a block of
  // its own. The bytes stay `source`'s, never released or written through the view: `source`
  // keeps them until the caller removes them.
  // REQUIRES: &view != &source, and neither `source` is changed nor its bytes are removed while
  // `view` still shows lent bytes (empty() or destroying `view` ends that).
  static void lendFront(CIPByteBuffer& source, int count, CIPByteBuffer& view);
  // The same for `count` bytes at `data`, which need not belong to any buffer.
  // REQUIRES: data readable for count bytes, unchanged while `view` shows them.
  static void lendBytes(const unsigned char* data, int count, CIPByteBuffer& view);

  // CIPByteBuffer::appendRaw's way when the block has no room: makes room (moving or growing
  // the held bytes, and with them a source that lies among them), then appends.
  static void appendGrowing(CIPByteBuffer& buffer, const void* src, int count);

  // Appends `count` (> 0) bytes and answers where they start, for the caller to write every
  // one of them before the buffer is used again; a field group (a header) so pays one room
  // check. Grows as an append does, throwing std::bad_alloc before changing anything.
  static unsigned char* appendSpace(CIPByteBuffer& buffer, unsigned int count) {
    if (!buffer.hasRoom(count))
      CIPByteBuffer::Free(buffer.growRoomFor(static_cast<int>(count), nullptr));
    unsigned char* at = buffer.buffer + buffer.length;
    buffer.length += count;
    return at;
  }

  // True when removing every byte of `b` into another buffer hands the block over with them:
  // a block `b` made itself, at most twice their number or the smallest block a buffer grows
  // into, so that a few bytes never keep a large block alive.
  static bool handsOverBlock(const CIPByteBuffer& b);

  // Moves every byte `from` holds into `to`, replacing what `to` held, as
  // from.removeBytes(all, to) does, except that when the bytes are copied rather than handed
  // over with the block, `from` keeps its block (emptied) for the bytes still to come, as long
  // as the block is at most `keepLimit` bytes; a larger one is released.
  // REQUIRES: &from != &to.
  static void takeWhole(CIPByteBuffer& from, CIPByteBuffer& to, int keepLimit);

  // Drops `count` bytes from the front, as removeBytes0 does, without a call.
  // REQUIRES: 0 < count < buffer.getLength().
  static void dropFront(CIPByteBuffer& buffer, unsigned int count) {
    buffer.buffer += count;
    buffer.length -= count;
  }
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_SRC_BUFFER_BUFFERACCESS_H_

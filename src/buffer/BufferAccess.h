// What the library's own parsers may do with a CIPByteBuffer that its public interface does
// not offer: look at bytes where they lie instead of copying them into a scratch buffer.
// Internal to the library; not installed.
#ifndef ORVELPDU_SRC_BUFFER_BUFFERACCESS_H_
#define ORVELPDU_SRC_BUFFER_BUFFERACCESS_H_

class CIPByteBuffer;

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

  // CIPByteBuffer::appendRaw's way when the block has no room: makes room (moving or growing
  // the held bytes, and with them a source that lies among them), then appends.
  static void appendGrowing(CIPByteBuffer& buffer, const void* src, int count);
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_SRC_BUFFER_BUFFERACCESS_H_

// Sealed command lengths: encoding a PDU so that its header states the number of bytes the PDU
// really wrote. CPDU computes no command length, so without this a sender either encodes the
// body twice or builds it in a scratch buffer first; sealing encodes once, in place, and then
// writes the length into the header bytes already appended.
//
// What is sealed: the bytes a PDU appends from `start` (the buffer's length before it began)
// to the end, of which the first four are the command length field. Both the four bytes in
// the buffer and the PDU's own command length (setCommandLength) are set to their count.
//
// Failure: false, with the buffer cut back to the length it had before the encoding and the
// PDU's command length unchanged, when the encoder reports 0, when it wrote fewer than the
// 16 bytes of a header, or when it wrote more than 2147483647 bytes. An exception from the
// encoder (std::bad_alloc) passes through with the buffer cut back the same way.
#ifndef ORVELPDU_PDU_SEALING_H_
#define ORVELPDU_PDU_SEALING_H_

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"
#include "orvelpdu/pdu/CPDU.h"

namespace orvelpdu {

// Seals the bytes from `start` to the end of `out` as one PDU of `pdu`'s: sets the command
// length field at `start` and pdu's command length to their count. false, changing nothing,
// when fewer than 16 or more than 2147483647 bytes lie there. std::bad_alloc from creating
// pdu's header passes through with nothing changed.
// REQUIRES: the bytes from `start` on are the PDU's, opening with its header.
[[nodiscard]] ORVELPDU_API bool sealCommandLength(CPDU& pdu, CIPByteBuffer& out,
                                                  unsigned int start);

// Drops whatever lies behind `start` in `out` (the way out of a failed encoding).
ORVELPDU_API void cutBack(CIPByteBuffer& out, unsigned int start);

// Runs `encode(out)`, which appends one PDU of `pdu`'s, header first, and returns whether it
// succeeded; then seals it. Lets a PDU's own getData encode in place and seal itself.
template <class Encode>
[[nodiscard]] bool encodeSealed(CPDU& pdu, CIPByteBuffer& out, Encode&& encode) {
  const unsigned int start = out.getLength();
  bool sealed = false;
  try {
    sealed = static_cast<bool>(encode(out)) && sealCommandLength(pdu, out, start);
  } catch (...) {
    cutBack(out, start);
    throw;
  }
  if (!sealed) cutBack(out, start);
  return sealed;
}

// Appends pdu.getData's encoding to `out` and seals it.
[[nodiscard]] ORVELPDU_API bool encodeSealed(CPDU& pdu, CIPByteBuffer& out);

}  // namespace orvelpdu

#endif  // ORVELPDU_PDU_SEALING_H_

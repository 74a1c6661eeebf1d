// The strict header parse: reading the 16-byte header at the front of received bytes without
// ever acting on a fill value or a command length the bytes do not bear out.
//
// CPDU::setHeader takes whatever 16 bytes are there (fill values when fewer are) and trusts
// the command length; checkHeaderFields refuses a header that is cut short or whose command
// length is below 16 or runs past the bytes held, and says which, so that a receiver can
// answer with a negative acknowledgement carrying the fields it did read.
#ifndef ORVELPDU_PDU_HEADERCHECK_H_
#define ORVELPDU_PDU_HEADERCHECK_H_

#include <cstdint>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"

namespace orvelpdu {

// The four header fields as their unsigned 32-bit wire values.
struct HeaderFields {
  static constexpr unsigned int kSize = 16;  // bytes of a header

  std::uint32_t commandLength = 0;
  std::uint32_t commandId = 0;
  std::uint32_t commandStatus = 0;
  std::uint32_t sequenceNumber = 0;
  // How many of the four fields, in wire order, were whole in the bytes: 4 for a whole header.
  int fieldsRead = 0;
};

// How the command length must relate to the bytes held.
enum class LengthRule {
  kWithinHeld,   // 16 <= command length <= bytes held: a PDU at the front of more bytes
  kExactlyHeld,  // command length == bytes held: exactly one framed PDU
};

// Reads the header at the front of `in` into `out`, removing nothing. Fails with kCutShort
// (field "header") when fewer than 16 bytes are held, and with kLengthMismatch (field
// "command_length") when the command length breaks `rule`; `out` then holds every field that
// was whole (see fieldsRead), so that the sequence number of a PDU with a bad length is known.
[[nodiscard]] ORVELPDU_API Result checkHeaderFields(const CIPByteBuffer& in, LengthRule rule,
                                                    HeaderFields& out);
// The same over `size` bytes at `data`. REQUIRES: data readable for size bytes.
[[nodiscard]] ORVELPDU_API Result checkHeaderFields(const unsigned char* data, std::size_t size,
                                                    LengthRule rule, HeaderFields& out);

}  // namespace orvelpdu

#endif  // ORVELPDU_PDU_HEADERCHECK_H_

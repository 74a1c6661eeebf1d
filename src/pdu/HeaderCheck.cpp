#include "orvelpdu/pdu/HeaderCheck.h"

#include <string>

#include "orvelpdu/buffer/ByteOrder.h"

namespace orvelpdu {

Result checkHeaderFields(const unsigned char* data, std::size_t size, LengthRule rule,
                         HeaderFields& out) {
  out = HeaderFields();
  std::uint32_t* const fields[] = {&out.commandLength, &out.commandId, &out.commandStatus,
                                   &out.sequenceNumber};
  for (std::size_t i = 0; i < 4 && 4 * (i + 1) <= size; ++i) {
    *fields[i] = detail::loadBig32(data + 4 * i);
    out.fieldsRead = static_cast<int>(i) + 1;
  }
  if (size < HeaderFields::kSize) {
    return Result(Outcome::kCutShort, "header", std::to_string(size) + " bytes, a header needs 16");
  }
  const std::uint64_t length = out.commandLength;
  const bool fits = rule == LengthRule::kExactlyHeld ? length == size : length <= size;
  if (length < HeaderFields::kSize || !fits) {
    return Result(Outcome::kLengthMismatch, "command_length",
                  std::to_string(length) + ", " + std::to_string(size) + " bytes held");
  }
  return Result();
}

Result checkHeaderFields(const CIPByteBuffer& in, LengthRule rule, HeaderFields& out) {
  return checkHeaderFields(in.getBuffer(), in.getLength(), rule, out);
}

}  // namespace orvelpdu

#include "Message.h"

#include <cstdio>
#include <utility>

namespace textmsg {

Message::Message(int commandId) : commandId_(commandId) { setCommandId(commandId); }

int Message::fail(std::string why) {
  error_ = std::move(why);
  return 0;
}

int Message::getData(CIPByteBuffer& out) {
  error_.clear();
  const unsigned int start = out.getLength();
  // Shrinking only drops bytes from the end and never allocates, so it is safe on the way
  // out of a failed allocation: a failure never leaves part of a PDU in `out`.
  const auto cutBack = [&out, start] { out.resize(static_cast<int>(start)); };
  try {
    // The PDU is encoded once, straight into `out`: the header first, with a command length
    // patched in place once the body's length is known.
    getHeader(out);
    if (getBody(out) == 0 || getOptionalBody(out) == 0) {
      cutBack();
      return 0;
    }
  } catch (...) {
    cutBack();
    throw;
  }
  const unsigned int length = out.getLength() - start;
  setCommandLength(static_cast<int>(length));
  unsigned char* field = out.getBuffer() + start;
  for (int i = 0; i < 4; ++i) field[i] = static_cast<unsigned char>(length >> (24 - 8 * i));
  return 1;
}

int Message::setData(CIPByteBuffer& in) {
  error_.clear();
  // Nothing of a PDU that fails to parse is trustworthy, whatever it held before; the level
  // rises to VALID_HEADER once the header checks pass and to VALID_ALL on success.
  setValid(VALID_NONE);
  const int held = static_cast<int>(in.getLength());
  if (held < kHeaderLength) {
    return fail("truncated header: " + std::to_string(held) + " bytes, a header needs 16");
  }
  const int length = in.readInt();
  if (length < kHeaderLength || length > held) {
    return fail("command length " + std::to_string(length) + " does not match the " +
                std::to_string(held) + " bytes received");
  }
  setHeader(in);
  CIPByteBuffer body;
  in.removeBytes(length - kHeaderLength, body);
  if (getCommandId() != commandId_) {
    char text[80];
    std::snprintf(text, sizeof text, "command id 0x%08X where 0x%08X was expected",
                  static_cast<unsigned>(getCommandId()), static_cast<unsigned>(commandId_));
    return fail(text);
  }
  setValid(VALID_HEADER);
  if (setBody(body) == 0 || setOptionalBody(body) == 0) return 0;
  if (!body.isEmpty()) {
    return fail(std::to_string(body.getLength()) + " bytes left over after the body");
  }
  setValid(VALID_ALL);
  return 1;
}

int Message::takeCString(CIPByteBuffer& in, CString& out, const char* field) {
  if (in.isEmpty()) return fail(std::string("body ends before the ") + field);
  const unsigned int before = in.getLength();
  in.removeCString(out);
  // removeCString takes the ending NUL with the text; without one the field was cut short.
  if (before - in.getLength() != static_cast<unsigned int>(out.GetLength()) + 1) {
    return fail(std::string(field) + " is not ended by a NUL byte");
  }
  return 1;
}

}  // namespace textmsg

#include "Message.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace onlib {

Message::Message(int commandId) : commandId_(commandId) { setCommandId(commandId); }

int Message::fail(std::string why) {
  error_ = std::move(why);
  return 0;
}

int Message::getData(CIPByteBuffer& out) {
  error_.clear();
  // Encoded once, in place; sealing then writes the command length into the header just
  // appended, and a failed encoding leaves `out` as it was.
  const bool sealed = orvelpdu::encodeSealed(*this, out, [this](CIPByteBuffer& pdu) {
    getHeader(pdu);
    return getBody(pdu) != 0 && getOptionalBody(pdu) != 0;
  });
  return sealed ? 1 : 0;
}

int Message::setData(CIPByteBuffer& in) {
  error_.clear();
  // Nothing of a PDU that fails to parse is trustworthy, whatever it held before; the level
  // rises to VALID_HEADER once the header checks pass and to VALID_ALL on success.
  setValid(VALID_NONE);
  const int held = static_cast<int>(in.getLength());
  int length = 0;
  if (held < kHeaderLength || !orvelpdu::peekInt(in, 0, length)) {
    return fail("truncated header: " + std::to_string(held) + " bytes, a header needs 16");
  }
  CIPByteBuffer pdu;
  if (length < kHeaderLength || !orvelpdu::takeBytes(in, length, pdu)) {
    return fail("command length " + std::to_string(length) + " does not match the " +
                std::to_string(held) + " bytes received");
  }
  setHeader(pdu);
  if (getCommandId() != commandId_) {
    char text[80];
    std::snprintf(text, sizeof text, "command id 0x%08X where 0x%08X was expected",
                  static_cast<unsigned>(getCommandId()), static_cast<unsigned>(commandId_));
    return fail(text);
  }
  setValid(VALID_HEADER);
  if (setBody(pdu) == 0 || setOptionalBody(pdu) == 0) return 0;
  if (!pdu.isEmpty()) {
    return fail(std::to_string(pdu.getLength()) + " bytes left over after the body");
  }
  setValid(VALID_ALL);
  return 1;
}

int Message::takeCString(CIPByteBuffer& in, CString& out, const char* field) {
  if (in.isEmpty()) return fail(std::string("body ends before the ") + field);
  if (!orvelpdu::takeCString(in, out))
    return fail(std::string(field) + " is not ended by a NUL byte");
  return 1;
}

int Message::checkNoNul(const CString& text, const char* field) {
  const char* chars = text;
  if (std::memchr(chars, 0, static_cast<size_t>(text.GetLength())) != nullptr) {
    return fail(std::string(field) + " holds a NUL byte, which its field cannot carry");
  }
  return 1;
}

int Message::putCString(CIPByteBuffer& out, const CString& text, const char* field) {
  if (checkNoNul(text, field) == 0) return 0;
  out.appendString0(const_cast<char*>(static_cast<const char*>(text)), text.GetLength());
  out.appendByte(0);
  return 1;
}

}  // namespace onlib

#include "Message.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

namespace textmsg {

Message::Message(int commandId) : commandId_(commandId) { setCommandId(commandId); }

int Message::fail(std::string why) {
  error_ = std::move(why);
  return 0;
}

int Message::getData(CIPByteBuffer& out) {
  error_.clear();
  CIPByteBuffer body;
  if (getBody(body) == 0 || getOptionalBody(body) == 0) return 0;
  setCommandLength(kHeaderLength + static_cast<int>(body.getLength()));
  // The whole PDU is put together aside and appended in one step, so a failure (an
  // allocation that throws) never leaves half a PDU in `out`.
  CIPByteBuffer pdu;
  getHeader(pdu);
  pdu.appendBuffer(&body);
  out.appendBuffer(&pdu);
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

std::string toHex(const CIPByteBuffer& buffer) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  const unsigned char* p = buffer.getBuffer();
  for (unsigned int i = 0; i < buffer.getLength(); ++i) {
    out.push_back(kDigits[p[i] >> 4]);
    out.push_back(kDigits[p[i] & 0x0F]);
  }
  return out;
}

bool fromHex(const std::string& text, CIPByteBuffer& out, std::string& error) {
  CIPByteBuffer bytes;
  int high = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isspace(c)) continue;
    if (!std::isxdigit(c)) {
      error = "not a hex digit at position " + std::to_string(i + 1) + ": '" +
              std::string(1, static_cast<char>(c)) + "'";
      return false;
    }
    const int digit = std::isdigit(c) ? c - '0' : std::toupper(c) - 'A' + 10;
    if (high < 0) {
      high = digit;
    } else {
      bytes.appendByte(static_cast<unsigned char>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) {
    error = "odd number of hex digits";
    return false;
  }
  out = bytes;
  return true;
}

}  // namespace textmsg

#include "support/HandCodec.h"

#include <cstring>

#include "support/HandWire.h"

namespace handcodec {
namespace {

using orvelpdu::bench::get16;
using orvelpdu::bench::get32;
using orvelpdu::bench::put16;
using orvelpdu::bench::put32;

constexpr std::size_t kHeader = 16;
constexpr std::size_t kFrame = 4;
constexpr std::size_t kMaxValue = 65535;
constexpr std::size_t kMaxRecipients = 10;

enum Tag : std::uint16_t {
  kReference = 0x0101,
  kSegmentCount = 0x0102,
  kExpiry = 0x0103,
  kCallback = 0x0104,
  kUserDataHeader = 0x0105,
  kReportWanted = 0x0106,
  kMessageClass = 0x0107,
};

// ---- Big-endian stores and loads ----

std::uint8_t* put8(std::uint8_t* p, std::uint8_t v) {
  *p = v;
  return p + 1;
}

std::uint8_t* putBytes(std::uint8_t* p, const void* src, std::size_t n) {
  if (n > 0) std::memcpy(p, src, n);
  return p + n;
}

// A C string stops at its first NUL, as the library's appendCString(char*) does.
std::size_t cLength(const std::string& s) { return std::strlen(s.c_str()); }

std::size_t bodySize(const SubmitText& m) {
  std::size_t n = cLength(m.sender) + 1 + 1;
  for (const Recipient& r : m.recipients) n += 1 + r.address.size() + 1;
  n += 1 + 4 + 2 + m.text.size();
  if (m.hasReference) n += kFrame + 2;
  if (m.hasSegmentCount) n += kFrame + 1;
  if (m.hasExpiry) n += kFrame + 4;
  if (m.hasCallback) n += kFrame + m.callback.size();
  if (m.hasUserDataHeader) n += kFrame + m.userDataHeader.size();
  if (m.reportWanted) n += kFrame;
  if (m.hasMessageClass) n += kFrame + 1;
  return n;
}

std::uint8_t* putFrame(std::uint8_t* p, std::uint16_t tag, std::size_t length) {
  p = put16(p, tag);
  return put16(p, static_cast<std::uint16_t>(length));
}

// A reader over the body that never goes past its end.
struct Reader {
  const std::uint8_t* p;
  std::size_t left;

  void skip(std::size_t n) {
    p += n;
    left -= n;
  }
};

// The text up to its NUL, which is consumed too; false when no NUL comes before the end.
bool takeCString(Reader& in, std::string& out) {
  const void* nul = std::memchr(in.p, 0, in.left);
  if (nul == nullptr) return false;
  const std::size_t n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - in.p);
  out.assign(reinterpret_cast<const char*>(in.p), n);
  in.skip(n + 1);
  return true;
}

// Admits one known parameter: refused when seen before or when its value is not `width`
// bytes (0: any length); otherwise marks it seen.
const char* admit(bool& seen, std::size_t width, std::size_t length) {
  if (seen) return "parameter appears twice";
  if (width != 0 && length != width) return "parameter has a value of the wrong length";
  seen = true;
  return nullptr;
}

// Takes the value of parameter `tag`; a tag this codec does not know is skipped. Returns why
// the parameter is refused, or null.
const char* takeParameter(SubmitText& m, std::uint16_t tag, const std::uint8_t* value,
                          std::size_t length) {
  const char* why = nullptr;
  switch (tag) {
    case kReference:
      why = admit(m.hasReference, 2, length);
      if (why == nullptr) m.reference = static_cast<std::int16_t>(get16(value));
      return why;
    case kSegmentCount:
      why = admit(m.hasSegmentCount, 1, length);
      if (why == nullptr) m.segmentCount = value[0];
      return why;
    case kExpiry:
      why = admit(m.hasExpiry, 4, length);
      if (why == nullptr) m.expiry = static_cast<std::int32_t>(get32(value));
      return why;
    case kCallback:
      why = admit(m.hasCallback, 0, length);
      // A NUL inside the address would not survive re-encoding: refused, as the library's
      // example refuses it.
      if (why == nullptr && length != 0 && std::memchr(value, 0, length) != nullptr) {
        why = "parameter has a value its type cannot carry";
      }
      if (why == nullptr) m.callback.assign(reinterpret_cast<const char*>(value), length);
      return why;
    case kUserDataHeader:
      why = admit(m.hasUserDataHeader, 0, length);
      if (why == nullptr) m.userDataHeader.assign(value, value + length);
      return why;
    case kReportWanted:
      why = admit(m.reportWanted, 0, length);
      if (why == nullptr && length != 0) why = "parameter has a value its type cannot carry";
      return why;
    case kMessageClass:
      why = admit(m.hasMessageClass, 1, length);
      if (why == nullptr) m.messageClass = value[0];
      return why;
    default:
      return nullptr;
  }
}

const char* parseOptional(Reader& in, SubmitText& m) {
  m.hasReference = m.hasSegmentCount = m.hasExpiry = m.hasCallback = false;
  m.hasUserDataHeader = m.reportWanted = m.hasMessageClass = false;
  m.callback.clear();
  m.userDataHeader.clear();
  while (in.left > 0) {
    if (in.left < kFrame) return "optional parameter header is cut short";
    const std::uint16_t tag = get16(in.p);
    const std::size_t length = get16(in.p + 2);
    if (in.left < kFrame + length) return "parameter is cut short";
    if (const char* why = takeParameter(m, tag, in.p + kFrame, length)) return why;
    in.skip(kFrame + length);
  }
  return nullptr;
}

}  // namespace

std::size_t encodedSize(const SubmitText& m) {
  if (m.text.size() > kMaxValue || m.recipients.size() > kMaxRecipients) return 0;
  if (m.hasCallback && m.callback.size() > kMaxValue) return 0;
  if (m.hasUserDataHeader && m.userDataHeader.size() > kMaxValue) return 0;
  return kHeader + bodySize(m);
}

std::size_t encode(const SubmitText& m, std::uint8_t* out) {
  const std::size_t total = encodedSize(m);
  if (total == 0) return 0;
  std::uint8_t* p = out;
  p = put32(p, static_cast<std::uint32_t>(total));
  p = put32(p, static_cast<std::uint32_t>(m.commandId));
  p = put32(p, static_cast<std::uint32_t>(m.commandStatus));
  p = put32(p, static_cast<std::uint32_t>(m.sequenceNumber));
  p = putBytes(p, m.sender.data(), cLength(m.sender));
  p = put8(p, 0);
  p = put8(p, static_cast<std::uint8_t>(m.recipients.size()));
  for (const Recipient& r : m.recipients) {
    p = put8(p, r.type);
    p = putBytes(p, r.address.data(), r.address.size());
    p = put8(p, 0);
  }
  p = put8(p, m.priority);
  p = put32(p, static_cast<std::uint32_t>(m.validitySeconds));
  p = put16(p, static_cast<std::uint16_t>(m.text.size()));
  p = putBytes(p, m.text.data(), m.text.size());
  if (m.hasReference)
    p = put16(putFrame(p, kReference, 2), static_cast<std::uint16_t>(m.reference));
  if (m.hasSegmentCount) {
    p = put8(putFrame(p, kSegmentCount, 1), static_cast<std::uint8_t>(m.segmentCount));
  }
  if (m.hasExpiry) p = put32(putFrame(p, kExpiry, 4), static_cast<std::uint32_t>(m.expiry));
  if (m.hasCallback) {
    p = putBytes(putFrame(p, kCallback, m.callback.size()), m.callback.data(), m.callback.size());
  }
  if (m.hasUserDataHeader) {
    p = putBytes(putFrame(p, kUserDataHeader, m.userDataHeader.size()), m.userDataHeader.data(),
                 m.userDataHeader.size());
  }
  if (m.reportWanted) p = putFrame(p, kReportWanted, 0);
  if (m.hasMessageClass) p = put8(putFrame(p, kMessageClass, 1), m.messageClass);
  return static_cast<std::size_t>(p - out);
}

const char* parse(const std::uint8_t* in, std::size_t size, SubmitText& m, std::size_t& consumed) {
  consumed = 0;
  if (size < kHeader) return "truncated header";
  const std::int32_t length = static_cast<std::int32_t>(get32(in));
  if (length < static_cast<std::int32_t>(kHeader) || static_cast<std::size_t>(length) > size) {
    return "command length does not match the bytes received";
  }
  consumed = static_cast<std::size_t>(length);
  m.commandLength = length;
  m.commandId = static_cast<std::int32_t>(get32(in + 4));
  m.commandStatus = static_cast<std::int32_t>(get32(in + 8));
  m.sequenceNumber = static_cast<std::int32_t>(get32(in + 12));
  if (m.commandId != SubmitText::kCommandId) return "unexpected command id";

  Reader body{in + kHeader, consumed - kHeader};
  if (body.left == 0) return "body ends before the sender";
  if (!takeCString(body, m.sender)) return "sender is not ended by a NUL byte";
  if (body.left == 0) return "body ends before the recipient count";
  const std::size_t count = body.p[0];
  if (count > kMaxRecipients) return "too many recipients";
  body.skip(1);
  m.recipients.resize(count);
  for (Recipient& r : m.recipients) {
    if (body.left < 2) return "recipient list is cut short";
    r.type = body.p[0];
    body.skip(1);
    if (!takeCString(body, r.address)) return "recipient list is cut short";
  }
  if (body.left < 1) return "body ends before the priority";
  m.priority = body.p[0];
  body.skip(1);
  if (body.left < 4) return "body ends before the validity";
  m.validitySeconds = static_cast<std::int32_t>(get32(body.p));
  body.skip(4);
  if (body.left < 2) return "body ends before the text length";
  const std::size_t textLength = get16(body.p);
  body.skip(2);
  if (body.left < textLength) return "message text is cut short";
  m.text.assign(reinterpret_cast<const char*>(body.p), textLength);
  body.skip(textLength);
  return parseOptional(body, m);
}

}  // namespace handcodec

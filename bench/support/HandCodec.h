// The limit the library is measured against: a SubmitText codec written by hand, the way a
// careful engineer would without the library. The message is a plain struct of standard
// containers; encoding stores big-endian fields straight into a byte array sized beforehand;
// parsing reads from a byte array in place and makes the same checks, in the same order, as
// the example protocol's SubmitText::setData (textmsg/Message.cpp, textmsg/SubmitText.cpp).
// The benchmark binary checks at start-up that both codecs produce and accept the same bytes.
#ifndef ORVELPDU_BENCH_SUPPORT_HANDCODEC_H_
#define ORVELPDU_BENCH_SUPPORT_HANDCODEC_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace handcodec {

struct Recipient {
  std::uint8_t type = 0;
  std::string address;  // written with a NUL after it
};

struct SubmitText {
  static constexpr std::int32_t kCommandId = 0x00000021;

  std::int32_t commandLength = 0;
  std::int32_t commandId = kCommandId;
  std::int32_t commandStatus = 0;
  std::int32_t sequenceNumber = 1;

  std::string sender;
  std::vector<Recipient> recipients;  // at most 10
  std::uint8_t priority = 0;
  std::int32_t validitySeconds = 0;
  std::string text;  // at most 65,535 bytes

  // Optional parameters: each written only when its flag is set.
  bool hasReference = false;
  std::int16_t reference = 0;
  bool hasSegmentCount = false;
  std::int16_t segmentCount = 0;  // the low 8 bits go on the wire
  bool hasExpiry = false;
  std::int32_t expiry = 0;
  bool hasCallback = false;
  std::string callback;
  bool hasUserDataHeader = false;
  std::vector<std::uint8_t> userDataHeader;
  bool reportWanted = false;
  bool hasMessageClass = false;
  std::uint8_t messageClass = 0;
};

// The number of bytes encode() writes, or 0 when the message cannot be encoded (text or a
// parameter value longer than 65,535 bytes, more than 10 recipients).
std::size_t encodedSize(const SubmitText& message);

// Writes the whole PDU, header with the command length included, to `out` and returns the
// number of bytes written (0, writing nothing, when encodedSize() is 0).
// REQUIRES: out has room for encodedSize(message) bytes.
std::size_t encode(const SubmitText& message, std::uint8_t* out);

// Parses one PDU from the `size` bytes at `in` into `message`, reusing its storage. Returns
// null on success, otherwise the reason the input is malformed (a static text); `message` is
// then partly filled. Sets `consumed` to the bytes of the PDU, as the library's parse
// consumes them.
const char* parse(const std::uint8_t* in, std::size_t size, SubmitText& message,
                  std::size_t& consumed);

}  // namespace handcodec

#endif  // ORVELPDU_BENCH_SUPPORT_HANDCODEC_H_

// Fuzzing of the sans-I/O endpoint: arbitrary bytes received in one piece and in chunks of
// sizes drawn from the input must give the same events in the same order (requests, paired
// responses, late and unmatched ones, refusals with the header fields read, the framing
// error), the same bytes to send (the answers), the same requests left in flight and the
// same bytes held. Each run is also checked against an independent walk of the bytes: one
// event per whole PDU up to the first bad command length, a framing error exactly when one
// is complete, and never a whole maximum frame held.
//
// Input: byte 0 picks the maximum frame length, bytes 1-4 seed the chunk sizes, byte 5 the
// requests in flight before the stream starts (low 4 bits: how many, numbered 1 up; every
// third cancelled, so that its response is late); the rest is the stream.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/exchange/Endpoint.h"
#include "support/ExchangePdus.h"

namespace {

using orvelpdu::Endpoint;
using orvelpdu::HeaderFields;
using orvelpdu::OutstandingRequest;
using orvelpdu::ResponseMatch;
using orvelpdu::Result;
using orvelpdu::fuzz::Bytes;
using orvelpdu::fuzz::check;
using orvelpdu::fuzz::Chunks;
using orvelpdu::fuzz::loadBig;
using orvelpdu::test::Note;
using orvelpdu::test::Ping;
using orvelpdu::test::pingPairs;
using orvelpdu::test::PingResp;

struct Outcome {
  std::vector<std::string> events;
  Bytes out;
  bool failed = false;
  bool framingReported = false;
  std::size_t outstanding = 0;
  std::size_t held = 0;
  bool operator==(const Outcome&) const = default;
};

std::string headerText(const HeaderFields& h) {
  return std::to_string(h.fieldsRead) + " " + std::to_string(h.commandLength) + " " +
         std::to_string(h.commandId) + " " + std::to_string(h.commandStatus) + " " +
         std::to_string(h.sequenceNumber);
}

Outcome exchange(const Bytes& stream, int maxFrameLength, unsigned inFlight, Chunks* chunks) {
  Outcome o;
  Endpoint endpoint(pingPairs, 16, maxFrameLength);
  endpoint.onRequest<Ping>([&](Ping& ping, const HeaderFields& header) {
    check(static_cast<std::uint32_t>(ping.getSequenceNumber()) == header.sequenceNumber,
          "a request carries its header's sequence number");
    o.events.push_back("request " + headerText(header) + " " + std::to_string(ping.value));
    PingResp resp;
    resp.setSequenceNumber(ping.getSequenceNumber());
    resp.value = ping.value + 1;
    check(endpoint.send(resp).ok(), "an answer encodes");
  });
  endpoint.onRequest(
      Note::kCommandId, [] { return std::make_unique<Note>(); },
      [&](Note& note, const HeaderFields& header) {
        o.events.push_back("note " + headerText(header) + " " + note.text);
      });
  endpoint.onResponse<PingResp>([&](PingResp& resp, const OutstandingRequest& request) {
    check(request.sequenceNumber == static_cast<std::uint32_t>(resp.getSequenceNumber()),
          "a response pairs with the request of its sequence number");
    o.events.push_back("response " + std::to_string(request.sequenceNumber) + " " +
                       std::to_string(resp.value));
  });
  endpoint.onStray([&](const HeaderFields& header, ResponseMatch match) {
    o.events.push_back("stray " + headerText(header) +
                       (match == ResponseMatch::kLate ? " late" : " unmatched"));
  });
  endpoint.onError([&](const HeaderFields& header, const Result& why) {
    check(!o.framingReported, "nothing follows the framing error");
    if (why.outcome() == orvelpdu::Outcome::kFramingError) o.framingReported = true;
    o.events.push_back("error " + headerText(header) + " " + why.reason());
  });
  for (unsigned i = 0; i < inFlight; ++i) {
    Ping ping;
    ping.value = i;
    check(endpoint.sendRequest(ping, Endpoint::TimePoint()).ok(), "a request is sent");
  }
  for (unsigned i = 1; i <= inFlight; i += 3) check(endpoint.cancel(i), "a request is cancelled");
  endpoint.consumePending(endpoint.pendingSize());

  for (std::size_t pos = 0; pos < stream.size();) {
    const std::size_t n = chunks == nullptr ? stream.size() : chunks->next(stream.size() - pos);
    const bool going = endpoint.receive(stream.data() + pos, n);
    pos += n;
    check(going == !endpoint.failed(), "receive says whether the stream goes on");
    check(endpoint.failed() || endpoint.buffered() < static_cast<std::size_t>(maxFrameLength),
          "less than a maximum frame is held");
  }
  o.out = Bytes(endpoint.pending(), endpoint.pending() + endpoint.pendingSize());
  o.failed = endpoint.failed();
  o.outstanding = endpoint.window().outstanding();
  o.held = endpoint.buffered();
  return o;
}

// What the bytes alone say: the whole PDUs before the first bad length, and whether a bad
// length is complete.
void checkAgainstTheBytes(const Bytes& stream, int maxFrameLength, const Outcome& o) {
  std::size_t pdus = 0;
  std::size_t pos = 0;
  bool bad = false;
  while (stream.size() - pos >= 4) {
    const std::uint32_t length = loadBig(stream, pos, 4);
    if (length < 16 || length > static_cast<std::uint32_t>(maxFrameLength)) {
      bad = true;
      break;
    }
    if (length > stream.size() - pos) break;
    ++pdus;
    pos += length;
  }
  check(o.failed == bad && o.framingReported == bad, "a framing error exactly at a bad length");
  check(o.events.size() == pdus + (bad ? 1 : 0), "one event per PDU", o.events.size(), pdus);
  check(o.held == (bad ? 0 : stream.size() - pos), "the bytes after the last PDU are held");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6 || size > 100000) return 0;
  static const int kMaxima[] = {16, 20, 64, 300, 4096, orvelpdu::PDUFramer::kDefaultMaxFrameLength};
  const int maxFrameLength = kMaxima[data[0] % 6];
  const uint32_t seed = loadBig(data + 1, 4);
  const unsigned inFlight = data[5] & 0x0Fu;
  const Bytes stream(data + 6, data + size);

  const Outcome whole = exchange(stream, maxFrameLength, inFlight, nullptr);
  checkAgainstTheBytes(stream, maxFrameLength, whole);
  Chunks chunks(seed);
  check(exchange(stream, maxFrameLength, inFlight, &chunks) == whole,
        "chunks give what one piece gives");
  return 0;
}

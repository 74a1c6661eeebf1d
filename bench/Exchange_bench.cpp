// Request-response exchanges without sockets, and the cost of the window of requests in
// flight as it grows.
//
// Exchange/in_memory: a client and a server joined in memory, one process, one thread. One
// iteration: the client sends a batch of 64 representative SubmitTexts, the server receives
// the batch in one piece, parses each and answers it with a SubmitTextResp whose message id
// is "m<sequence number>", and the client receives the answers in one piece, parses each and
// pairs it with its request by sequence number and command id. The library's side is two
// orvelpdu::Endpoint objects; the hand-written side does the same with the hand-written
// SubmitText codec, framing and answers written by hand, and a table of requests in flight
// that is as lean as the pairing can be (a ring indexed by the sequence number, which this
// client numbers consecutively). Counter requests_per_s: requests answered and paired per
// second of CPU time.
//
// Exchange/in_memory_small: the same with a request and a response of one 32-bit field each
// (described PDUs on the library's side), so that the exchange's own work (framing, dispatch,
// the window, the bytes in and out) is what is compared rather than the codec of a large PDU.
//
// Window/*: the cost of one operation on a RequestWindow holding N requests (10, 1,000,
// 100,000). record_answer: reserve and record a new request, then answer the one recorded N
// earlier, so that N stay in flight. record_expire: record a new request, then expire the one
// whose deadline came N requests earlier. Time per iteration covers both operations.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orvelpdu/describe/DescribedPDU.h"
#include "orvelpdu/exchange/Endpoint.h"
#include "orvelpdu/exchange/RequestWindow.h"
#include "support/HandCodec.h"
#include "support/HandWire.h"
#include "support/Measure.h"
#include "support/Representative.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace {

using orvelpdu::bench::AllocationTally;
using Clock = std::chrono::steady_clock;

constexpr int kBatch = 64;
constexpr std::uint32_t kRequestId = 0x00000021u;
constexpr std::uint32_t kResponseId = 0x80000021u;

bool pairs(std::uint32_t responseId, std::uint32_t requestId) {
  return responseId == (requestId | 0x80000000u);
}

void exchangeLibrary(benchmark::State& state) {
  orvelpdu::Endpoint client(pairs, kBatch);
  orvelpdu::Endpoint server(pairs, kBatch);
  textmsg::SubmitText request;
  orvelpdu::bench::fillRepresentative(request);
  textmsg::SubmitTextResp response;
  char id[16];
  server.onRequest<textmsg::SubmitText>([&](textmsg::SubmitText& received) {
    const int sequenceNumber = received.getSequenceNumber();
    std::snprintf(id, sizeof id, "m%d", sequenceNumber);
    response.setSequenceNumber(sequenceNumber);
    response.messageId = id;
    if (!server.send(response).ok()) state.SkipWithError("an answer does not encode");
  });
  std::uint64_t paired = 0;
  client.onResponse<textmsg::SubmitTextResp>(
      [&](textmsg::SubmitTextResp& answer, const orvelpdu::OutstandingRequest&) {
        paired += answer.messageId.GetLength() > 1 ? 1 : 0;
      });
  const Clock::time_point deadline = Clock::now() + std::chrono::hours(1);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    for (int i = 0; i < kBatch; ++i) {
      if (!client.sendRequest(request, deadline).ok()) state.SkipWithError("window full");
    }
    server.receive(client.pending(), client.pendingSize());
    client.consumePending(client.pendingSize());
    client.receive(server.pending(), server.pendingSize());
    server.consumePending(server.pendingSize());
    tally.end();
  }
  if (paired != static_cast<std::uint64_t>(state.iterations()) * kBatch) {
    state.SkipWithError("not every request was answered and paired");
  }
  tally.report(state, kBatch);
  state.counters["requests_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBatch, benchmark::Counter::kIsRate);
}

// The hand-written table of requests in flight: slot = sequence number mod its size.
struct HandSlot {
  std::uint32_t sequenceNumber = 0;
  std::uint32_t commandId = 0;
  Clock::time_point deadline{};
  bool used = false;
};

// Both hand-written sides of one batch: the client encodes and records, the server frames,
// parses and answers, the client frames, parses and pairs. `fault` is set by anything wrong.
struct HandExchange {
  handcodec::SubmitText message = orvelpdu::bench::representativeMessage();
  handcodec::SubmitText received;
  std::vector<std::uint8_t> toServer;
  std::vector<std::uint8_t> toClient;
  std::vector<HandSlot> window = std::vector<HandSlot>(kBatch * 2);
  std::uint32_t mask = kBatch * 2 - 1;
  std::string messageId;
  std::uint32_t nextSequenceNumber = 1;
  std::uint64_t paired = 0;
  bool fault = false;
  Clock::time_point deadline = Clock::now() + std::chrono::hours(1);

  HandExchange() {
    toServer.reserve(64 * 1024);
    toClient.reserve(16 * 1024);
  }

  void sendRequests() {
    toServer.clear();
    for (int i = 0; i < kBatch; ++i) {
      const std::uint32_t sequenceNumber = nextSequenceNumber;
      nextSequenceNumber = sequenceNumber == 0x7FFFFFFFu ? 1 : sequenceNumber + 1;
      HandSlot& slot = window[sequenceNumber & mask];
      if (slot.used) fault = true;
      slot = HandSlot{sequenceNumber, kRequestId, deadline, true};
      message.sequenceNumber = static_cast<std::int32_t>(sequenceNumber);
      const std::size_t at = toServer.size();
      toServer.resize(at + handcodec::encodedSize(message));
      handcodec::encode(message, toServer.data() + at);
    }
  }

  void answerRequests() {
    using orvelpdu::bench::get32;
    using orvelpdu::bench::put32;
    char id[16];
    toClient.clear();
    for (std::size_t pos = 0; pos + 16 <= toServer.size();) {
      const std::uint32_t length = get32(toServer.data() + pos);
      if (length < 16 || length > toServer.size() - pos) {
        fault = true;
        break;
      }
      std::size_t consumed = 0;
      if (handcodec::parse(toServer.data() + pos, length, received, consumed) != nullptr) {
        fault = true;
      }
      const int idLength = std::snprintf(id, sizeof id, "m%d", received.sequenceNumber);
      const std::size_t at = toClient.size();
      const auto answerLength = static_cast<std::uint32_t>(16 + idLength + 1);
      toClient.resize(at + answerLength);
      std::uint8_t* p = toClient.data() + at;
      p = put32(p, answerLength);
      p = put32(p, kResponseId);
      p = put32(p, 0);
      p = put32(p, static_cast<std::uint32_t>(received.sequenceNumber));
      std::memcpy(p, id, static_cast<std::size_t>(idLength) + 1);
      pos += length;
    }
  }

  void pairResponses() {
    using orvelpdu::bench::get32;
    for (std::size_t pos = 0; pos + 16 <= toClient.size();) {
      const std::uint8_t* pdu = toClient.data() + pos;
      const std::uint32_t length = get32(pdu);
      if (length < 17 || length > toClient.size() - pos) {
        fault = true;
        break;
      }
      const auto* nul = static_cast<const std::uint8_t*>(std::memchr(pdu + 16, 0, length - 16));
      if (nul == nullptr || nul != pdu + length - 1) fault = true;
      messageId.assign(reinterpret_cast<const char*>(pdu + 16), length - 17);
      const std::uint32_t commandId = get32(pdu + 4);
      const std::uint32_t sequenceNumber = get32(pdu + 12);
      HandSlot& slot = window[sequenceNumber & mask];
      if (slot.used && slot.sequenceNumber == sequenceNumber && pairs(commandId, slot.commandId)) {
        slot.used = false;
        paired += messageId.size() > 1 ? 1 : 0;
      } else {
        fault = true;
      }
      pos += length;
    }
  }
};

void exchangeHand(benchmark::State& state) {
  HandExchange hand;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    hand.sendRequests();
    hand.answerRequests();
    hand.pairResponses();
    tally.end();
  }
  if (hand.fault || hand.paired != static_cast<std::uint64_t>(state.iterations()) * kBatch) {
    state.SkipWithError("the hand-written exchange went wrong");
  }
  tally.report(state, kBatch);
  state.counters["requests_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBatch, benchmark::Counter::kIsRate);
}

// ---- The exchange of small PDUs ----

template <std::uint32_t Id>
class Probe : public orvelpdu::DescribedPDU<Probe<Id>> {
 public:
  static constexpr std::uint32_t kCommandId = Id;
  std::uint32_t value = 0;
  template <class V>
  void describe(V& v) {
    v.field("value", value);
  }
};
using ProbeRequest = Probe<0x00000041u>;
using ProbeResponse = Probe<0x80000041u>;

void smallExchangeLibrary(benchmark::State& state) {
  orvelpdu::Endpoint client(pairs, kBatch);
  orvelpdu::Endpoint server(pairs, kBatch);
  ProbeRequest request;
  ProbeResponse response;
  server.onRequest<ProbeRequest>([&](ProbeRequest& received) {
    response.setSequenceNumber(received.getSequenceNumber());
    response.value = received.value + 1;
    if (!server.send(response).ok()) state.SkipWithError("an answer does not encode");
  });
  std::uint64_t paired = 0;
  client.onResponse<ProbeResponse>([&](ProbeResponse& answer, const orvelpdu::OutstandingRequest&) {
    paired += answer.value == 8 ? 1 : 0;
  });
  request.value = 7;
  const Clock::time_point deadline = Clock::now() + std::chrono::hours(1);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    for (int i = 0; i < kBatch; ++i) {
      if (!client.sendRequest(request, deadline).ok()) state.SkipWithError("window full");
    }
    server.receive(client.pending(), client.pendingSize());
    client.consumePending(client.pendingSize());
    client.receive(server.pending(), server.pendingSize());
    server.consumePending(server.pendingSize());
    tally.end();
  }
  if (paired != static_cast<std::uint64_t>(state.iterations()) * kBatch) {
    state.SkipWithError("not every request was answered and paired");
  }
  tally.report(state, kBatch);
  state.counters["requests_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBatch, benchmark::Counter::kIsRate);
}

// Appends a PDU of one 32-bit field.
void putProbe(std::vector<std::uint8_t>& out, std::uint32_t commandId, std::uint32_t sequenceNumber,
              std::uint32_t value) {
  using orvelpdu::bench::put32;
  const std::size_t at = out.size();
  out.resize(at + 20);
  std::uint8_t* p = out.data() + at;
  p = put32(p, 20);
  p = put32(p, commandId);
  p = put32(p, 0);
  p = put32(p, sequenceNumber);
  put32(p, value);
}

// Walks the PDUs of one 32-bit field in `in`, checking each as the strict parse does (a whole
// header, the command length 20, the expected command id); false on the first that fails.
template <class OnPdu>
bool eachProbe(const std::vector<std::uint8_t>& in, std::uint32_t commandId, OnPdu&& onPdu) {
  using orvelpdu::bench::get32;
  for (std::size_t pos = 0; pos < in.size(); pos += 20) {
    if (in.size() - pos < 20) return false;
    const std::uint8_t* pdu = in.data() + pos;
    if (get32(pdu) != 20 || get32(pdu + 4) != commandId) return false;
    onPdu(get32(pdu + 12), get32(pdu + 16));
  }
  return true;
}

void smallExchangeHand(benchmark::State& state) {
  std::vector<std::uint8_t> toServer;
  std::vector<std::uint8_t> toClient;
  toServer.reserve(kBatch * 20);
  toClient.reserve(kBatch * 20);
  std::vector<HandSlot> window(kBatch * 2);
  const std::uint32_t mask = kBatch * 2 - 1;
  std::uint32_t nextSequenceNumber = 1;
  std::uint64_t paired = 0;
  bool fault = false;
  const Clock::time_point deadline = Clock::now() + std::chrono::hours(1);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    toServer.clear();
    for (int i = 0; i < kBatch; ++i) {
      const std::uint32_t sequenceNumber = nextSequenceNumber;
      nextSequenceNumber = sequenceNumber == 0x7FFFFFFFu ? 1 : sequenceNumber + 1;
      HandSlot& slot = window[sequenceNumber & mask];
      if (slot.used) fault = true;
      slot = HandSlot{sequenceNumber, 0x00000041u, deadline, true};
      putProbe(toServer, 0x00000041u, sequenceNumber, 7);
    }
    toClient.clear();
    fault |=
        !eachProbe(toServer, 0x00000041u, [&](std::uint32_t sequenceNumber, std::uint32_t value) {
          putProbe(toClient, 0x80000041u, sequenceNumber, value + 1);
        });
    fault |=
        !eachProbe(toClient, 0x80000041u, [&](std::uint32_t sequenceNumber, std::uint32_t value) {
          HandSlot& slot = window[sequenceNumber & mask];
          if (slot.used && slot.sequenceNumber == sequenceNumber &&
              pairs(0x80000041u, slot.commandId)) {
            slot.used = false;
            paired += value == 8 ? 1 : 0;
          } else {
            fault = true;
          }
        });
    tally.end();
  }
  if (fault || paired != static_cast<std::uint64_t>(state.iterations()) * kBatch) {
    state.SkipWithError("the hand-written exchange went wrong");
  }
  tally.report(state, kBatch);
  state.counters["requests_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kBatch, benchmark::Counter::kIsRate);
}

Clock::time_point tick(std::uint64_t n) { return Clock::time_point(std::chrono::microseconds(n)); }

void windowRecordAnswer(benchmark::State& state) {
  const auto held = static_cast<std::uint32_t>(state.range(0));
  orvelpdu::RequestWindow window(held + 1, pairs);
  std::uint32_t next = 1;
  for (; next <= held; ++next) {
    if (!window.reserve() || !window.record(next, kRequestId, tick(next))) {
      state.SkipWithError("setup");
    }
  }
  orvelpdu::OutstandingRequest request;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    const bool reserved = window.reserve();
    const bool recorded = window.record(next, kRequestId, tick(next));
    const orvelpdu::ResponseMatch match = window.answer(next - held, kResponseId, request);
    if (!reserved || !recorded || match != orvelpdu::ResponseMatch::kAnswered) {
      state.SkipWithError("the window refused");
      break;
    }
    ++next;
    tally.end();
  }
  tally.report(state);
}

void windowRecordExpire(benchmark::State& state) {
  const auto held = static_cast<std::uint32_t>(state.range(0));
  orvelpdu::RequestWindow window(held + 1, pairs);
  std::uint32_t next = 1;
  for (; next <= held; ++next) {
    if (!window.reserve() || !window.record(next, kRequestId, tick(next))) {
      state.SkipWithError("setup");
    }
  }
  orvelpdu::OutstandingRequest request;
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    const bool reserved = window.reserve();
    const bool recorded = window.record(next, kRequestId, tick(next));
    const bool expired = window.popExpired(tick(next - held), request);
    if (!reserved || !recorded || !expired || request.sequenceNumber != next - held) {
      state.SkipWithError("the window refused");
      break;
    }
    ++next;
    tally.end();
  }
  tally.report(state);
}

}  // namespace

BENCHMARK(exchangeLibrary)
    ->Name("Exchange/in_memory/library")
    ->Apply(orvelpdu::bench::keyComparison);
BENCHMARK(exchangeHand)->Name("Exchange/in_memory/hand")->Apply(orvelpdu::bench::keyComparison);
BENCHMARK(smallExchangeLibrary)
    ->Name("Exchange/in_memory_small/library")
    ->Apply(orvelpdu::bench::keyComparison);
BENCHMARK(smallExchangeHand)
    ->Name("Exchange/in_memory_small/hand")
    ->Apply(orvelpdu::bench::keyComparison);
BENCHMARK(windowRecordAnswer)
    ->Name("Window/record_answer")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Apply(orvelpdu::bench::scalingSeries);
BENCHMARK(windowRecordExpire)
    ->Name("Window/record_expire")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Apply(orvelpdu::bench::scalingSeries);

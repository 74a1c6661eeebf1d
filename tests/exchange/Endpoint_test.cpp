#include "orvelpdu/exchange/Endpoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvelpdu/describe/DescribedPDU.h"
#include "support/ExchangePdus.h"
#include "support/FailingNew.h"
#include "support/Hex.h"

namespace {

using orvelpdu::Endpoint;
using orvelpdu::HeaderFields;
using orvelpdu::Outcome;
using orvelpdu::OutstandingRequest;
using orvelpdu::ResponseMatch;
using orvelpdu::Result;
using orvelpdu::test::hexOf;
using orvelpdu::test::Note;
using orvelpdu::test::Ping;
using orvelpdu::test::pingPairs;
using orvelpdu::test::PingResp;
using orvelpdu::test::pingWire;
using orvelpdu::test::wireOf;
using Bytes = std::vector<unsigned char>;
using TimePoint = Endpoint::TimePoint;

TimePoint at(int ms) { return TimePoint(std::chrono::milliseconds(ms)); }

Bytes pendingOf(const Endpoint& e) { return Bytes(e.pending(), e.pending() + e.pendingSize()); }

// An endpoint whose every event is written to a log: it answers each Ping with a PingResp of
// value + 1, and has requests 1, 2 and 3 in flight, 3 cancelled, when the stream starts.
struct Logged {
  Endpoint endpoint{pingPairs, 8, 64};
  std::vector<std::string> log;

  Logged() {
    endpoint.onRequest<Ping>([this](Ping& ping) {
      log.push_back("request " + std::to_string(ping.getSequenceNumber()) + " value " +
                    std::to_string(ping.value));
      PingResp resp;
      resp.setSequenceNumber(ping.getSequenceNumber());
      resp.value = ping.value + 1;
      EXPECT_TRUE(endpoint.send(resp).ok());
    });
    endpoint.onRequest(
        Note::kCommandId, [] { return std::make_unique<Note>(); },
        [this](Note& note) { log.push_back("note " + note.text); });
    endpoint.onResponse<PingResp>([this](PingResp& resp, const OutstandingRequest& request) {
      log.push_back("response " + std::to_string(request.sequenceNumber) + " value " +
                    std::to_string(resp.value));
    });
    endpoint.onStray([this](const HeaderFields& header, ResponseMatch match) {
      log.push_back(std::string(match == ResponseMatch::kLate ? "late " : "unmatched ") +
                    std::to_string(header.sequenceNumber));
    });
    endpoint.onError([this](const HeaderFields& header, const Result& why) {
      log.push_back("error " + std::to_string(header.sequenceNumber) + " " + why.reason());
    });
    endpoint.onExpired([this](const OutstandingRequest& r) {
      log.push_back("expired " + std::to_string(r.sequenceNumber));
    });
    endpoint.onCancelled([this](const OutstandingRequest& r) {
      log.push_back("cancelled " + std::to_string(r.sequenceNumber));
    });
    for (int i = 0; i < 3; ++i) {
      Ping ping;
      ping.value = static_cast<std::uint32_t>(i);
      EXPECT_TRUE(endpoint.sendRequest(ping, at(100)).ok());
    }
    endpoint.cancel(3);
    endpoint.consumePending(endpoint.pendingSize());
  }
};

struct Events {
  std::vector<std::string> log;
  Bytes out;
  bool failed;
  std::size_t outstanding;
  bool operator==(const Events&) const = default;
};

// Feeds `stream` in pieces ending at `cuts` (ascending, inside the stream).
Events feed(const Bytes& stream, const std::vector<std::size_t>& cuts) {
  Logged l;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t to = i < cuts.size() ? cuts[i] : stream.size();
    l.endpoint.receive(stream.data() + from, to - from);
    from = to;
  }
  return Events{l.log, pendingOf(l.endpoint), l.endpoint.failed(),
                l.endpoint.window().outstanding()};
}

Bytes join(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Every kind of event: answered, a request to answer, unknown id, a hand-written PDU, a
// malformed one, late, unmatched, answered again, then a length that breaks the framing.
Bytes shortStream() {
  return join({pingWire(0x80000015u, 1, 10), pingWire(0x15, 9, 5), pingWire(0x77, 10, 0),
               wireOf(Note::kCommandId, 11, Bytes{'h', 'i', 0}), wireOf(0x15, 12, Bytes{1}),
               pingWire(0x80000015u, 3, 30), pingWire(0x80000015u, 99, 0),
               pingWire(0x80000015u, 2, 20), Bytes{0, 0, 0, 8, 1, 2}});
}

TEST(Endpoint, OnePieceGivesEveryKindOfEvent) {
  const Events run = feed(shortStream(), {});
  EXPECT_EQ(run.log, (std::vector<std::string>{
                         "cancelled 3",
                         "response 1 value 10",
                         "request 9 value 5",
                         "error 10 command_id: unknown command id (0x00000077)",
                         "note hi",
                         "error 12 value: cut short",
                         "late 3",
                         "unmatched 99",
                         "response 2 value 20",
                         "error 0 command_length: framing lost (8, outside 16..64)",
                     }));
  EXPECT_EQ(hexOf(run.out), hexOf(pingWire(0x80000015u, 9, 6)));
  EXPECT_TRUE(run.failed);
  EXPECT_EQ(run.outstanding, 0u);
}

// Every way of cutting the stream into two or three pieces, and one byte at a time.
TEST(Endpoint, EveryChunkingOfAShortStreamGivesTheSameEvents) {
  const Bytes stream = shortStream();
  const Events whole = feed(stream, {});
  std::vector<std::size_t> bytewise;
  for (std::size_t i = 1; i < stream.size(); ++i) bytewise.push_back(i);
  ASSERT_EQ(feed(stream, bytewise), whole);
  for (std::size_t i = 1; i < stream.size(); ++i) {
    ASSERT_EQ(feed(stream, {i}), whole) << "cut at " << i;
    for (std::size_t j = i + 1; j < stream.size(); ++j) {
      ASSERT_EQ(feed(stream, {i, j}), whole) << "cuts at " << i << " and " << j;
    }
  }
}

TEST(Endpoint, RandomChunkingsOfALongStreamGiveTheSameEvents) {
  std::mt19937 rng(7);
  std::vector<Bytes> parts;
  for (int i = 0; i < 3000; ++i) {
    const auto seq = static_cast<std::uint32_t>(rng() % 8);
    switch (rng() % 6) {
      case 0:
        parts.push_back(pingWire(0x80000015u, seq, seq));
        break;
      case 1:
        parts.push_back(pingWire(0x66, seq, 0));
        break;
      case 2:
        parts.push_back(wireOf(0x15, seq, Bytes(rng() % 6, 0)));
        break;
      case 3:
        parts.push_back(wireOf(Note::kCommandId, seq, Bytes(1 + rng() % 40, 'a')));
        break;
      default:
        parts.push_back(pingWire(0x15, seq, static_cast<std::uint32_t>(i)));
    }
  }
  const Bytes stream = join(parts);
  const Events whole = feed(stream, {});
  ASSERT_GT(whole.log.size(), 3000u);
  for (int trial = 0; trial < 30; ++trial) {
    const std::size_t largest = 1 + rng() % 300;
    std::vector<std::size_t> cuts;
    for (std::size_t at = 1 + rng() % largest; at < stream.size(); at += 1 + rng() % largest) {
      cuts.push_back(at);
    }
    ASSERT_EQ(feed(stream, cuts), whole) << "trial " << trial;
  }
}

TEST(Endpoint, AFramingErrorIsReportedOnceAndEndsTheStream) {
  Logged l;
  const Bytes bad = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(l.endpoint.receive(bad.data(), bad.size()));
  const Bytes ping = pingWire(0x15, 4, 4);
  EXPECT_FALSE(l.endpoint.receive(ping.data(), ping.size()));
  EXPECT_EQ(l.log, (std::vector<std::string>{"cancelled 3",
                                             "error 0 command_length: framing lost (4294967295, "
                                             "outside 16..64)"}));
  EXPECT_EQ(l.endpoint.pendingSize(), 0u);
  // Ending the connection cancels what is in flight, each once.
  EXPECT_EQ(l.endpoint.cancelAll(), 2u);
  EXPECT_EQ(l.endpoint.cancelAll(), 0u);
  EXPECT_EQ(l.log.back(), "cancelled 2");
}

TEST(Endpoint, ExpiryEndsRequestsAtTheirDeadlineAndAFullWindowRefusesToSend) {
  Endpoint e(pingPairs, 2);
  std::vector<std::uint32_t> expired;
  e.onExpired([&](const OutstandingRequest& r) { expired.push_back(r.sequenceNumber); });
  Ping ping;
  ASSERT_TRUE(e.sendRequest(ping, at(10)).ok());
  ASSERT_TRUE(e.sendRequest(ping, at(20)).ok());
  const Bytes before = pendingOf(e);
  const Result refused = e.sendRequest(ping, at(30));
  EXPECT_EQ(refused.outcome(), Outcome::kOverLimit);
  EXPECT_EQ(refused.field(), "window");
  EXPECT_EQ(hexOf(pendingOf(e)), hexOf(before)) << "a refused request appends nothing";
  EXPECT_EQ(hexOf(pendingOf(e)), hexOf(join({pingWire(0x15, 1, 0), pingWire(0x15, 2, 0)})));
  TimePoint next;
  ASSERT_TRUE(e.nextDeadline(next));
  EXPECT_EQ(next, at(10));
  EXPECT_EQ(e.expire(at(9)), 0u);
  EXPECT_EQ(e.expire(at(10)), 1u);
  EXPECT_TRUE(e.sendRequest(ping, at(30)).ok()) << "the expiry made room";
  EXPECT_EQ(e.expire(at(1000)), 2u);
  EXPECT_EQ(expired, (std::vector<std::uint32_t>{1, 2, 3}));
}

// A described PDU whose name may hold at most 3 characters: longer ones do not encode.
class Label : public orvelpdu::DescribedPDU<Label> {
 public:
  static constexpr std::uint32_t kCommandId = 0x00000033u;
  CString name;
  template <class V>
  void describe(V& v) {
    v.cstring("name", name, 3);
  }
};

TEST(Endpoint, ARequestThatDoesNotEncodeAppendsAndRecordsNothing) {
  Endpoint e(pingPairs, 1);
  Label label;
  label.name = "long";
  const Result refused = e.sendRequest(label, at(10));
  EXPECT_EQ(refused.outcome(), Outcome::kOverLimit);
  EXPECT_EQ(refused.field(), "name");
  EXPECT_EQ(e.pendingSize(), 0u);
  EXPECT_EQ(e.window().outstanding(), 0u);
  EXPECT_EQ(e.window().reserved(), 0u) << "the reservation is given back";
  label.name = "ok";
  ASSERT_TRUE(e.sendRequest(label, at(10)).ok()) << "the one place in the window is free";
  EXPECT_EQ(hexOf(pendingOf(e)), hexOf(wireOf(Label::kCommandId, 2, Bytes{'o', 'k', 0})));
}

// A handler's exception passes out of receive(); the PDUs behind the one it was handling are
// kept and delivered by the next receive(), in order, whichever path they took.
TEST(Endpoint, AHandlerThatThrowsLosesNoLaterPDU) {
  for (std::size_t cut : {std::size_t{0}, std::size_t{30}}) {
    SCOPED_TRACE(cut);
    Endpoint e(pingPairs, 4);
    std::vector<std::uint32_t> seen;
    e.onRequest<Ping>([&](Ping& ping) {
      seen.push_back(ping.value);
      if (ping.value == 2) throw std::runtime_error("handler failed");
    });
    const Bytes stream = join(
        {pingWire(0x15, 1, 1), pingWire(0x15, 2, 2), pingWire(0x15, 3, 3), pingWire(0x15, 4, 4)});
    // With a cut, the first piece ends inside the second PDU, so that it is handled from the
    // framer's copy rather than in place.
    if (cut != 0) {
      ASSERT_TRUE(e.receive(stream.data(), cut));
    }
    const std::size_t from = cut;
    EXPECT_THROW(e.receive(stream.data() + from, stream.size() - from), std::runtime_error);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_TRUE(e.receive(nullptr, 0));
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(e.buffered(), 0u);
  }
}

// Two endpoints joined in memory: every request answered and paired, and once warm no PDU
// costs an allocation on either side, receiving or sending.
TEST(Endpoint, ASteadyExchangeAllocatesNothingPerPDU) {
  Endpoint client(pingPairs, 16);
  Endpoint server(pingPairs, 16);
  PingResp resp;
  server.onRequest<Ping>([&](Ping& ping) {
    resp.setSequenceNumber(ping.getSequenceNumber());
    resp.value = ping.value * 2;
    EXPECT_TRUE(server.send(resp).ok());
  });
  std::uint64_t answered = 0;
  std::uint64_t sum = 0;
  client.onResponse<PingResp>([&](PingResp& r, const OutstandingRequest&) {
    ++answered;
    sum += r.value;
  });
  Ping ping;
  auto round = [&](std::uint32_t value) {
    ping.value = value;
    ASSERT_TRUE(client.sendRequest(ping, at(1000)).ok());
    ASSERT_TRUE(server.receive(client.pending(), client.pendingSize()));
    client.consumePending(client.pendingSize());
    ASSERT_TRUE(client.receive(server.pending(), server.pendingSize()));
    server.consumePending(server.pendingSize());
  };
  for (std::uint32_t i = 0; i < 10; ++i) round(i);
  const long before = orvelpdu::test::allocationCount();
  for (std::uint32_t i = 0; i < 1000; ++i) round(1);
  EXPECT_EQ(orvelpdu::test::allocationCount() - before, 0);
  EXPECT_EQ(answered, 1010u);
  EXPECT_EQ(sum, 2u * (45u + 1000u));
  EXPECT_EQ(client.window().outstanding(), 0u);
}

// Reads that end inside a PDU: only the PDU split across two receives is held, so a chunk
// of many PDUs costs one block, not one per PDU.
TEST(Endpoint, ASplitPDUCostsOneBlockAndThePDUsAfterItNone) {
  Endpoint server(pingPairs, 1);
  std::uint64_t sum = 0;
  server.onRequest<Ping>([&](Ping& ping) { sum += ping.value; });
  Bytes stream;
  for (std::uint32_t i = 0; i < 50; ++i) {
    const Bytes ping = pingWire(0x15, i + 1, 1);
    stream.insert(stream.end(), ping.begin(), ping.end());
  }
  // 50 PDUs of 20 bytes in chunks of 333 bytes: every chunk but the last ends inside a PDU.
  auto feedAll = [&] {
    for (std::size_t at = 0; at < stream.size(); at += 333) {
      ASSERT_TRUE(
          server.receive(stream.data() + at, std::min<std::size_t>(333, stream.size() - at)));
    }
  };
  feedAll();
  const long before = orvelpdu::test::allocationCount();
  for (int round = 0; round < 10; ++round) feedAll();
  EXPECT_LE(orvelpdu::test::allocationCount() - before, 10 * 3);
  EXPECT_EQ(sum, 11u * 50u);
  EXPECT_EQ(server.buffered(), 0u);
}

}  // namespace

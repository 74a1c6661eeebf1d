#include "orvelpdu/exchange/RequestWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <vector>

#include "support/ExchangePdus.h"
#include "support/FailingNew.h"

namespace {

using orvelpdu::OutstandingRequest;
using orvelpdu::RequestWindow;
using orvelpdu::ResponseMatch;
using orvelpdu::test::pingPairs;
using TimePoint = RequestWindow::TimePoint;

constexpr std::uint32_t kReq = 0x15;
constexpr std::uint32_t kResp = 0x80000015u;

TimePoint at(int ms) { return TimePoint(std::chrono::milliseconds(ms)); }

// Reserves and records in one step.
bool send(RequestWindow& w, std::uint32_t seq, int deadlineMs, std::uint32_t id = kReq) {
  if (!w.reserve()) return false;
  if (w.record(seq, id, at(deadlineMs))) return true;
  w.unreserve();
  return false;
}

TEST(RequestWindow, ReserveRefusesAtTheCapUntilARequestEnds) {
  RequestWindow w(2, pingPairs);
  OutstandingRequest r;
  EXPECT_FALSE(w.record(1, kReq, at(10))) << "no reservation held";
  ASSERT_TRUE(send(w, 1, 10));
  ASSERT_TRUE(w.reserve());
  EXPECT_FALSE(w.reserve()) << "one outstanding and one reserved fill a window of 2";
  w.unreserve();
  ASSERT_TRUE(send(w, 2, 10));
  EXPECT_FALSE(w.reserve());
  EXPECT_EQ(w.outstanding(), 2u);
  ASSERT_EQ(w.answer(1, kResp, r), ResponseMatch::kAnswered);
  EXPECT_TRUE(w.reserve());
  EXPECT_EQ(w.reserved(), 1u);
}

TEST(RequestWindow, EachRequestEndsOnceAndLaterResponsesSayWhy) {
  RequestWindow w(8, pingPairs);
  OutstandingRequest r;
  ASSERT_TRUE(send(w, 1, 100));
  ASSERT_TRUE(send(w, 2, 100));
  ASSERT_TRUE(send(w, 3, 100));

  // Answered: the request comes back once; a second response finds nothing.
  ASSERT_EQ(w.answer(1, kResp, r), ResponseMatch::kAnswered);
  EXPECT_EQ(r.sequenceNumber, 1u);
  EXPECT_EQ(r.commandId, kReq);
  EXPECT_EQ(r.deadline, at(100));
  EXPECT_EQ(w.answer(1, kResp, r), ResponseMatch::kUnmatched);

  // A response id that does not pair leaves the request outstanding.
  EXPECT_EQ(w.answer(2, 0x80000016u, r), ResponseMatch::kUnmatched);
  EXPECT_TRUE(w.isOutstanding(2));

  // Cancelled: once; its response is then late, once.
  ASSERT_TRUE(w.cancel(2, &r));
  EXPECT_EQ(r.sequenceNumber, 2u);
  EXPECT_FALSE(w.cancel(2));
  EXPECT_EQ(w.answer(2, kResp, r), ResponseMatch::kLate);
  EXPECT_EQ(w.answer(2, kResp, r), ResponseMatch::kUnmatched);

  // Expired: not before its deadline, then once; its response is late.
  EXPECT_FALSE(w.popExpired(at(99), r));
  ASSERT_TRUE(w.popExpired(at(100), r));
  EXPECT_EQ(r.sequenceNumber, 3u);
  EXPECT_FALSE(w.popExpired(at(1000), r));
  EXPECT_EQ(w.answer(3, kResp, r), ResponseMatch::kLate);
  EXPECT_EQ(r.sequenceNumber, 3u);

  // A number never used is unmatched.
  EXPECT_EQ(w.answer(77, kResp, r), ResponseMatch::kUnmatched);
  EXPECT_EQ(w.outstanding(), 0u);
}

TEST(RequestWindow, RecordRefusesANumberInFlightAndReusesAnEndedOne) {
  RequestWindow w(4, pingPairs);
  OutstandingRequest r;
  ASSERT_TRUE(send(w, 5, 10));
  EXPECT_FALSE(send(w, 5, 20));
  EXPECT_EQ(w.outstanding(), 1u);
  EXPECT_EQ(w.reserved(), 0u);
  ASSERT_TRUE(w.popExpired(at(10), r));
  // Recorded again, the number answers the new request, not the remembered one.
  ASSERT_TRUE(send(w, 5, 30));
  EXPECT_EQ(w.rememberedNow(), 0u);
  ASSERT_EQ(w.answer(5, kResp, r), ResponseMatch::kAnswered);
  EXPECT_EQ(r.deadline, at(30));
}

TEST(RequestWindow, MemoryOfEndedRequestsIsBoundedOldestForgottenFirst) {
  RequestWindow w(4, pingPairs, 2);
  OutstandingRequest r;
  for (std::uint32_t seq = 1; seq <= 3; ++seq) ASSERT_TRUE(send(w, seq, 10));
  EXPECT_EQ(w.expire(at(10), [](const OutstandingRequest&) {}), 3u);
  EXPECT_EQ(w.rememberedNow(), 2u);
  EXPECT_EQ(w.answer(1, kResp, r), ResponseMatch::kUnmatched) << "pushed out by 2 and 3";
  EXPECT_EQ(w.answer(2, kResp, r), ResponseMatch::kLate);
  EXPECT_EQ(w.answer(3, kResp, r), ResponseMatch::kLate);
  EXPECT_EQ(w.rememberedNow(), 0u);
}

TEST(RequestWindow, ExpiryFollowsDeadlinesWhateverTheRecordOrder) {
  RequestWindow w(8, pingPairs);
  const int deadlines[] = {50, 20, 40, 20, 10};
  for (std::uint32_t i = 0; i < 5; ++i) ASSERT_TRUE(send(w, i + 1, deadlines[i]));
  TimePoint next;
  ASSERT_TRUE(w.nextDeadline(next));
  EXPECT_EQ(next, at(10));
  std::vector<std::uint32_t> order;
  w.expire(at(40), [&](const OutstandingRequest& r) { order.push_back(r.sequenceNumber); });
  // Equal deadlines expire in the order recorded.
  EXPECT_EQ(order, (std::vector<std::uint32_t>{5, 2, 4, 3}));
  std::vector<std::uint32_t> cancelled;
  w.cancelAll([&](const OutstandingRequest& r) { cancelled.push_back(r.sequenceNumber); });
  EXPECT_EQ(cancelled, (std::vector<std::uint32_t>{1}));
  EXPECT_FALSE(w.nextDeadline(next));
}

// The window against a plain model over random operations: every result, every request
// handed back and every count agree after each step, and at the end every request recorded
// has ended exactly once.
TEST(RequestWindow, AgreesWithAModelOverRandomOperations) {
  struct Req {
    std::uint32_t seq;
    std::uint32_t id;
    int deadline;
    long serial;
  };
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    const std::size_t cap = 1 + rng() % 12;
    const std::size_t remembered = rng() % 6;
    RequestWindow w(cap, pingPairs, remembered);
    std::size_t reserved = 0;
    std::map<std::uint32_t, Req> flight;
    std::deque<Req> memory;
    std::map<long, int> endings;
    long serials = 0;
    int now = 0;
    auto remember = [&](const Req& req) {
      if (remembered == 0) return;
      if (memory.size() == remembered) memory.pop_front();
      memory.push_back(req);
    };
    auto inMemory = [&](std::uint32_t seq) {
      return std::find_if(memory.begin(), memory.end(),
                          [seq](const Req& q) { return q.seq == seq; });
    };
    auto ends = [&](const Req& req, const OutstandingRequest& got) {
      ++endings[req.serial];
      EXPECT_EQ(got.sequenceNumber, req.seq);
      EXPECT_EQ(got.commandId, req.id);
      EXPECT_EQ(got.deadline, at(req.deadline));
    };
    auto earliest = [&]() {
      auto best = flight.begin();
      for (auto it = flight.begin(); it != flight.end(); ++it) {
        if (std::make_pair(it->second.deadline, it->second.serial) <
            std::make_pair(best->second.deadline, best->second.serial)) {
          best = it;
        }
      }
      return best;
    };
    for (int step = 0; step < 3000; ++step) {
      const std::uint32_t seq = 1 + rng() % 16;
      OutstandingRequest got;
      switch (rng() % 7) {
        case 0: {
          const bool expected = flight.size() + reserved < cap;
          ASSERT_EQ(w.reserve(), expected);
          reserved += expected ? 1 : 0;
          break;
        }
        case 1:
          w.unreserve();
          if (reserved > 0) --reserved;
          break;
        case 2: {
          const std::uint32_t id = 0x15 + rng() % 2;
          const int deadline = now + static_cast<int>(rng() % 30);
          const bool expected = reserved > 0 && flight.count(seq) == 0;
          ASSERT_EQ(w.record(seq, id, at(deadline)), expected);
          if (!expected) break;
          auto old = inMemory(seq);
          if (old != memory.end()) memory.erase(old);
          --reserved;
          flight[seq] = Req{seq, id, deadline, serials++};
          break;
        }
        case 3: {
          const std::uint32_t responseId = (rng() % 2 ? 0x80000000u : 0) | (0x15 + rng() % 2);
          ResponseMatch expected = ResponseMatch::kUnmatched;
          auto inFlight = flight.find(seq);
          auto old = inMemory(seq);
          if (inFlight != flight.end() && pingPairs(responseId, inFlight->second.id)) {
            expected = ResponseMatch::kAnswered;
          } else if (inFlight == flight.end() && old != memory.end() &&
                     pingPairs(responseId, old->id)) {
            expected = ResponseMatch::kLate;
          }
          ASSERT_EQ(w.answer(seq, responseId, got), expected);
          if (expected == ResponseMatch::kAnswered) {
            ends(inFlight->second, got);
            flight.erase(inFlight);
          } else if (expected == ResponseMatch::kLate) {
            EXPECT_EQ(got.sequenceNumber, old->seq);
            memory.erase(old);
          }
          break;
        }
        case 4: {
          auto inFlight = flight.find(seq);
          ASSERT_EQ(w.cancel(seq, &got), inFlight != flight.end());
          if (inFlight == flight.end()) break;
          ends(inFlight->second, got);
          remember(inFlight->second);
          flight.erase(inFlight);
          break;
        }
        default: {
          now += static_cast<int>(rng() % 8);
          std::size_t expected = 0;
          while (!flight.empty() && earliest()->second.deadline <= now) {
            auto first = earliest();
            ASSERT_TRUE(w.popExpired(at(now), got));
            ends(first->second, got);
            remember(first->second);
            flight.erase(first);
            ++expected;
          }
          EXPECT_FALSE(w.popExpired(at(now), got));
          (void)expected;
          break;
        }
      }
      ASSERT_EQ(w.outstanding(), flight.size());
      ASSERT_EQ(w.reserved(), reserved);
      ASSERT_EQ(w.rememberedNow(), memory.size());
      ASSERT_EQ(w.isOutstanding(seq), flight.count(seq) == 1);
      TimePoint next;
      ASSERT_EQ(w.nextDeadline(next), !flight.empty());
      if (!flight.empty()) {
        ASSERT_EQ(next, at(earliest()->second.deadline));
      }
    }
    w.cancelAll([&](const OutstandingRequest& got) {
      auto it = flight.find(got.sequenceNumber);
      ASSERT_NE(it, flight.end());
      ends(it->second, got);
      flight.erase(it);
    });
    EXPECT_TRUE(flight.empty());
    ASSERT_EQ(endings.size(), static_cast<std::size_t>(serials));
    for (const auto& [serial, count] : endings) EXPECT_EQ(count, 1) << "request " << serial;
  }
}

// Storage is taken at construction: a long run of every operation allocates nothing.
TEST(RequestWindow, OperationsAllocateNothing) {
  RequestWindow w(1000, pingPairs);
  OutstandingRequest r;
  const long before = orvelpdu::test::allocationCount();
  for (std::uint32_t round = 0; round < 20; ++round) {
    for (std::uint32_t i = 0; i < 1000; ++i) {
      ASSERT_TRUE(send(w, round * 1000 + i + 1, static_cast<int>(round * 10)));
    }
    for (std::uint32_t i = 0; i < 1000; i += 3) (void)w.answer(round * 1000 + i + 1, kResp, r);
    w.cancel(round * 1000 + 2);
    w.expire(at(static_cast<int>(round * 10)), [](const OutstandingRequest&) {});
  }
  EXPECT_EQ(orvelpdu::test::allocationCount() - before, 0);
}

}  // namespace

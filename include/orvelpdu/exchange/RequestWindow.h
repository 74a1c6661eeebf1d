// RequestWindow is the table of requests in flight on one connection: it caps how many may be
// outstanding, pairs each response with its request by sequence number, and hands back the
// requests whose deadline has passed. Every request recorded ends exactly once: answered
// (answer), expired (popExpired / expire) or cancelled (cancel / cancelAll).
//
// Time is the caller's: deadlines and `now` are std::chrono::steady_clock time points passed
// in; the window never reads a clock. A request expires once `now` reaches its deadline
// (deadline <= now).
//
// Pairing. A response answers a request when their sequence numbers are equal and the
// caller's PairingRule says the response's command id answers the request's (the library
// knows no command ids). A response that pairs with nothing outstanding is kUnmatched, one
// that pairs with a request that already expired or was cancelled is kLate. To tell the two
// apart the window remembers the sequence numbers and command ids of the last `remembered`
// requests that expired or were cancelled; each is reported late at most once, and one
// forgotten (pushed out by newer ones, or its sequence number recorded again) makes a late
// response unmatched. A response whose sequence number is outstanding but whose command id
// does not pair is unmatched, and the request stays outstanding.
//
// Cost. Storage for `capacity` outstanding and `remembered` ended requests is taken at
// construction; no operation allocates afterwards. Requests are found through an open-
// addressing hash table by sequence number, and kept in a list ordered by deadline, so that
// expiry takes them from the front. reserve, unreserve, answer, cancel and popExpired cost
// O(1) (expected); record costs O(1) when the new deadline is not earlier than any
// outstanding one (one timeout per window on a monotone clock), and otherwise walks back over
// the outstanding requests with later deadlines. A window is used by one thread at a time.
#ifndef ORVELPDU_EXCHANGE_REQUESTWINDOW_H_
#define ORVELPDU_EXCHANGE_REQUESTWINDOW_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "orvelpdu/export.h"

namespace orvelpdu {

// One request in flight, as recorded.
struct OutstandingRequest {
  std::uint32_t sequenceNumber = 0;
  std::uint32_t commandId = 0;
  std::chrono::steady_clock::time_point deadline{};
};

// What a received response turned out to answer.
enum class ResponseMatch : std::uint8_t {
  kAnswered,   // an outstanding request, which is now answered
  kLate,       // a request that had already expired or been cancelled
  kUnmatched,  // nothing the window holds or remembers
};

class ORVELPDU_API RequestWindow {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  // True when a response with command id `responseId` answers a request with `requestId`.
  using PairingRule = std::function<bool(std::uint32_t responseId, std::uint32_t requestId)>;

  // A window for at most `capacity` requests in flight, remembering the last `remembered`
  // ended ones for late responses (see above). std::bad_alloc passes through.
  // REQUIRES: pairs is callable; capacity + remembered < 2^30.
  RequestWindow(std::size_t capacity, PairingRule pairs, std::size_t remembered);
  // As above, remembering as many ended requests as may be in flight.
  RequestWindow(std::size_t capacity, PairingRule pairs);
  RequestWindow(const RequestWindow&) = delete;
  RequestWindow& operator=(const RequestWindow&) = delete;
  ~RequestWindow();

  // Claims room for one request. false, claiming nothing, when outstanding() + reserved()
  // has reached the capacity.
  [[nodiscard]] bool reserve();
  // Gives back a reservation that will not be used (the request could not be sent).
  // Nothing when none is held.
  void unreserve();
  // Records a sent request, using up a reservation. false, changing nothing, when no
  // reservation is held or `sequenceNumber` is already outstanding.
  [[nodiscard]] bool record(std::uint32_t sequenceNumber, std::uint32_t commandId,
                            TimePoint deadline);
  // Pairs a response (see above). On kAnswered the request ends and `request` receives it;
  // on kLate `request` receives the ended request; on kUnmatched `request` is left alone.
  [[nodiscard]] ResponseMatch answer(std::uint32_t sequenceNumber, std::uint32_t responseId,
                                     OutstandingRequest& request);
  // Cancels the outstanding request with `sequenceNumber`, storing it in `request` when
  // given. false when it is not outstanding.
  bool cancel(std::uint32_t sequenceNumber, OutstandingRequest* request = nullptr);
  // Ends the outstanding request with the earliest deadline when that deadline is at or
  // before `now`, storing it in `request`. false when none has expired.
  [[nodiscard]] bool popExpired(TimePoint now, OutstandingRequest& request);
  // Cancels the outstanding request with the earliest deadline, storing it in `request`.
  // false when none is outstanding.
  [[nodiscard]] bool popCancelled(OutstandingRequest& request);

  // Ends every request whose deadline is at or before `now`, earliest deadline first, calling
  // onExpired(const OutstandingRequest&) for each; returns how many ended. The callback may
  // reserve and record (a retry), but not with a deadline at or before `now`.
  template <class OnExpired>
  std::size_t expire(TimePoint now, OnExpired&& onExpired) {
    std::size_t ended = 0;
    OutstandingRequest request;
    while (popExpired(now, request)) {
      ++ended;
      onExpired(static_cast<const OutstandingRequest&>(request));
    }
    return ended;
  }
  // Cancels every outstanding request, earliest deadline first, calling
  // onCancelled(const OutstandingRequest&) for each; returns how many ended.
  template <class OnCancelled>
  std::size_t cancelAll(OnCancelled&& onCancelled) {
    std::size_t ended = 0;
    OutstandingRequest request;
    while (popCancelled(request)) {
      ++ended;
      onCancelled(static_cast<const OutstandingRequest&>(request));
    }
    return ended;
  }

  [[nodiscard]] bool isOutstanding(std::uint32_t sequenceNumber) const;
  // The earliest deadline among the outstanding requests; false when none is outstanding.
  [[nodiscard]] bool nextDeadline(TimePoint& deadline) const;

  std::size_t capacity() const { return capacity_; }
  std::size_t outstanding() const { return outstanding_; }
  std::size_t reserved() const { return reserved_; }
  // Ended requests remembered now for late responses.
  std::size_t rememberedNow() const { return rememberedCount_; }

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  enum class State : std::uint8_t { kFree, kOutstanding, kRemembered };
  struct Node {
    std::uint32_t sequenceNumber = 0;
    std::uint32_t commandId = 0;
    TimePoint deadline{};
    std::uint32_t prev = kNone;
    std::uint32_t next = kNone;
    State state = State::kFree;
  };
  // A doubly linked list of nodes through prev/next.
  struct List {
    std::uint32_t head = kNone;
    std::uint32_t tail = kNone;
  };

  std::uint32_t slotOf(std::uint32_t sequenceNumber) const;
  // The table slot holding `sequenceNumber`, or kNone.
  std::uint32_t findSlot(std::uint32_t sequenceNumber) const;
  void insertKey(std::uint32_t node);
  void eraseSlot(std::uint32_t slot);

  void unlink(List& list, std::uint32_t node);
  void linkAfter(List& list, std::uint32_t after, std::uint32_t node);
  std::uint32_t allocateNode();
  void freeNode(std::uint32_t node);
  // Forgets the remembered node in table slot `slot`.
  void forget(std::uint32_t slot, std::uint32_t node);
  // Takes outstanding node `node` (in table slot `slot`) out of flight into memory.
  void endInto(std::uint32_t slot, std::uint32_t node, OutstandingRequest& request);

  std::size_t capacity_;
  std::size_t rememberedCapacity_;
  PairingRule pairs_;
  std::vector<Node> nodes_;
  std::vector<std::uint32_t> table_;  // node indices, kNone where empty; size a power of two
  std::uint32_t tableMask_ = 0;
  int tableShift_ = 0;
  std::uint32_t free_ = kNone;  // free nodes, chained through `next`
  List flight_;                 // outstanding, by deadline, earliest first
  List memory_;                 // remembered, oldest first
  std::size_t outstanding_ = 0;
  std::size_t reserved_ = 0;
  std::size_t rememberedCount_ = 0;
};

}  // namespace orvelpdu

#endif  // ORVELPDU_EXCHANGE_REQUESTWINDOW_H_

#include "orvelpdu/exchange/RequestWindow.h"

#include <utility>

namespace orvelpdu {

namespace {

// Table slots for `nodes`: a power of two at least twice as many, so that probes stay short.
int tableBits(std::size_t nodes) {
  int bits = 3;
  while ((std::size_t{1} << bits) < 2 * nodes) ++bits;
  return bits;
}

}  // namespace

RequestWindow::RequestWindow(std::size_t capacity, PairingRule pairs, std::size_t remembered)
    : capacity_(capacity), rememberedCapacity_(remembered), pairs_(std::move(pairs)) {
  const std::size_t nodes = capacity + remembered;
  nodes_.resize(nodes);
  for (std::size_t i = nodes; i > 0; --i) {
    nodes_[i - 1].next = free_;
    free_ = static_cast<std::uint32_t>(i - 1);
  }
  const int bits = tableBits(nodes);
  table_.assign(std::size_t{1} << bits, kNone);
  tableMask_ = static_cast<std::uint32_t>(table_.size() - 1);
  tableShift_ = 32 - bits;
}

RequestWindow::RequestWindow(std::size_t capacity, PairingRule pairs)
    : RequestWindow(capacity, std::move(pairs), capacity) {}

RequestWindow::~RequestWindow() = default;

// ---- The hash table: linear probing, deletion by shifting the following run back ----

std::uint32_t RequestWindow::slotOf(std::uint32_t sequenceNumber) const {
  // Fibonacci hashing spreads consecutive sequence numbers over the table.
  return (sequenceNumber * 2654435769u) >> tableShift_;
}

std::uint32_t RequestWindow::findSlot(std::uint32_t sequenceNumber) const {
  for (std::uint32_t slot = slotOf(sequenceNumber);; slot = (slot + 1) & tableMask_) {
    const std::uint32_t node = table_[slot];
    if (node == kNone) return kNone;
    if (nodes_[node].sequenceNumber == sequenceNumber) return slot;
  }
}

void RequestWindow::insertKey(std::uint32_t node) {
  std::uint32_t slot = slotOf(nodes_[node].sequenceNumber);
  while (table_[slot] != kNone) slot = (slot + 1) & tableMask_;
  table_[slot] = node;
}

void RequestWindow::eraseSlot(std::uint32_t slot) {
  // Every key after the hole up to the next empty slot moves into the hole when its home slot
  // does not lie cyclically inside (hole, its slot]: otherwise a probe for it would stop at
  // the hole.
  std::uint32_t hole = slot;
  for (std::uint32_t at = (hole + 1) & tableMask_; table_[at] != kNone;
       at = (at + 1) & tableMask_) {
    const std::uint32_t home = slotOf(nodes_[table_[at]].sequenceNumber);
    const bool reachable = ((at - home) & tableMask_) >= ((at - hole) & tableMask_);
    if (reachable) {
      table_[hole] = table_[at];
      hole = at;
    }
  }
  table_[hole] = kNone;
}

// ---- Node lists ----

void RequestWindow::unlink(List& list, std::uint32_t node) {
  Node& n = nodes_[node];
  (n.prev == kNone ? list.head : nodes_[n.prev].next) = n.next;
  (n.next == kNone ? list.tail : nodes_[n.next].prev) = n.prev;
  n.prev = kNone;
  n.next = kNone;
}

void RequestWindow::linkAfter(List& list, std::uint32_t after, std::uint32_t node) {
  Node& n = nodes_[node];
  n.prev = after;
  n.next = after == kNone ? list.head : nodes_[after].next;
  (after == kNone ? list.head : nodes_[after].next) = node;
  (n.next == kNone ? list.tail : nodes_[n.next].prev) = node;
}

std::uint32_t RequestWindow::allocateNode() {
  const std::uint32_t node = free_;
  free_ = nodes_[node].next;
  nodes_[node].next = kNone;
  return node;
}

void RequestWindow::freeNode(std::uint32_t node) {
  nodes_[node].state = State::kFree;
  nodes_[node].prev = kNone;
  nodes_[node].next = free_;
  free_ = node;
}

void RequestWindow::forget(std::uint32_t slot, std::uint32_t node) {
  eraseSlot(slot);
  unlink(memory_, node);
  --rememberedCount_;
  freeNode(node);
}

void RequestWindow::endInto(std::uint32_t slot, std::uint32_t node, OutstandingRequest& request) {
  Node& n = nodes_[node];
  request = OutstandingRequest{n.sequenceNumber, n.commandId, n.deadline};
  unlink(flight_, node);
  --outstanding_;
  if (rememberedCapacity_ == 0) {
    eraseSlot(slot);
    freeNode(node);
    return;
  }
  if (rememberedCount_ == rememberedCapacity_) {
    const std::uint32_t oldest = memory_.head;
    forget(findSlot(nodes_[oldest].sequenceNumber), oldest);
  }
  n.state = State::kRemembered;
  linkAfter(memory_, memory_.tail, node);
  ++rememberedCount_;
}

// ---- Operations ----

bool RequestWindow::reserve() {
  if (outstanding_ + reserved_ >= capacity_) return false;
  ++reserved_;
  return true;
}

void RequestWindow::unreserve() {
  if (reserved_ > 0) --reserved_;
}

bool RequestWindow::record(std::uint32_t sequenceNumber, std::uint32_t commandId,
                           TimePoint deadline) {
  if (reserved_ == 0) return false;
  const std::uint32_t slot = findSlot(sequenceNumber);
  if (slot != kNone) {
    const std::uint32_t found = table_[slot];
    if (nodes_[found].state == State::kOutstanding) return false;
    // The number is used again: a response to it now answers the new request.
    forget(slot, found);
  }
  --reserved_;
  ++outstanding_;
  const std::uint32_t node = allocateNode();
  Node& n = nodes_[node];
  n.sequenceNumber = sequenceNumber;
  n.commandId = commandId;
  n.deadline = deadline;
  n.state = State::kOutstanding;
  insertKey(node);
  std::uint32_t after = flight_.tail;
  while (after != kNone && nodes_[after].deadline > deadline) after = nodes_[after].prev;
  linkAfter(flight_, after, node);
  return true;
}

ResponseMatch RequestWindow::answer(std::uint32_t sequenceNumber, std::uint32_t responseId,
                                    OutstandingRequest& request) {
  const std::uint32_t slot = findSlot(sequenceNumber);
  if (slot == kNone) return ResponseMatch::kUnmatched;
  const std::uint32_t node = table_[slot];
  Node& n = nodes_[node];
  if (!pairs_(responseId, n.commandId)) return ResponseMatch::kUnmatched;
  request = OutstandingRequest{n.sequenceNumber, n.commandId, n.deadline};
  if (n.state == State::kRemembered) {
    forget(slot, node);
    return ResponseMatch::kLate;
  }
  eraseSlot(slot);
  unlink(flight_, node);
  --outstanding_;
  freeNode(node);
  return ResponseMatch::kAnswered;
}

bool RequestWindow::cancel(std::uint32_t sequenceNumber, OutstandingRequest* request) {
  const std::uint32_t slot = findSlot(sequenceNumber);
  if (slot == kNone || nodes_[table_[slot]].state != State::kOutstanding) return false;
  OutstandingRequest ended;
  endInto(slot, table_[slot], ended);
  if (request != nullptr) *request = ended;
  return true;
}

bool RequestWindow::popExpired(TimePoint now, OutstandingRequest& request) {
  const std::uint32_t node = flight_.head;
  if (node == kNone || nodes_[node].deadline > now) return false;
  endInto(findSlot(nodes_[node].sequenceNumber), node, request);
  return true;
}

bool RequestWindow::popCancelled(OutstandingRequest& request) {
  const std::uint32_t node = flight_.head;
  if (node == kNone) return false;
  endInto(findSlot(nodes_[node].sequenceNumber), node, request);
  return true;
}

bool RequestWindow::isOutstanding(std::uint32_t sequenceNumber) const {
  const std::uint32_t slot = findSlot(sequenceNumber);
  return slot != kNone && nodes_[table_[slot]].state == State::kOutstanding;
}

bool RequestWindow::nextDeadline(TimePoint& deadline) const {
  if (flight_.head == kNone) return false;
  deadline = nodes_[flight_.head].deadline;
  return true;
}

}  // namespace orvelpdu

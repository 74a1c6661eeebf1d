#include "orvelpdu/exchange/Endpoint.h"

#include <string>

#include "orvelpdu/buffer/ByteOrder.h"

namespace orvelpdu {

namespace detail {

Result refusedByGetData() { return Result(Outcome::kItemRefused, "", "getData answered 0"); }

}  // namespace detail

Endpoint::Endpoint(RequestWindow::PairingRule pairs, std::size_t window, int maxFrameLength)
    : framer_(maxFrameLength), window_(window, std::move(pairs)) {}

Endpoint::~Endpoint() = default;

void Endpoint::onError(ErrorHandler handler) { dispatcher_.onError(std::move(handler)); }

bool Endpoint::receive(const unsigned char* data, std::size_t size) {
  if (failed_) return false;
  // Whole PDUs are parsed where they lie only while the framer holds nothing, so that the
  // stream order is kept; what follows them goes through the framer.
  const std::size_t taken = framer_.buffered() == 0 ? dispatchInPlace(data, size) : 0;
  if (taken < size) framer_.feed(data + taken, size - taken);
  if (!dispatcher_.drain(framer_)) failed_ = true;
  return !failed_;
}

std::size_t Endpoint::dispatchInPlace(const unsigned char* data, std::size_t size) {
  const auto maxLength = static_cast<std::uint32_t>(framer_.maxFrameLength());
  std::size_t pos = 0;
  while (size - pos >= 4) {
    const std::uint32_t length = detail::loadBig32(data + pos);
    // A bad length is left to the framer, which reports it as it would in any chunking.
    if (length < 16 || length > maxLength || length > size - pos) break;
    const std::size_t at = pos;
    pos += length;
    try {
      dispatcher_.dispatch(data + at, length);
    } catch (...) {
      // The PDUs after the one whose handler threw stay for the next receive().
      framer_.feed(data + pos, size - pos);
      throw;
    }
  }
  return pos;
}

bool Endpoint::pair(const HeaderFields& header, OutstandingRequest& request) {
  const ResponseMatch match = window_.answer(header.sequenceNumber, header.commandId, request);
  if (match == ResponseMatch::kAnswered) return true;
  if (onStray_) onStray_(header, match);
  return false;
}

Result Endpoint::windowFull() const {
  return Result(Outcome::kOverLimit, "window",
                std::to_string(window_.capacity()) + " requests in flight");
}

std::uint32_t Endpoint::takeSequenceNumber() {
  // At most capacity() numbers are outstanding, far fewer than 2^31 - 1, so this ends.
  for (;;) {
    const std::uint32_t number = nextSequenceNumber_;
    nextSequenceNumber_ = number == 0x7FFFFFFFu ? 1 : number + 1;
    if (!window_.isOutstanding(number)) return number;
  }
}

Result Endpoint::recordRequest(unsigned int start, TimePoint deadline, const Result& encoded) {
  if (!encoded.ok()) {
    window_.unreserve();
    return encoded;
  }
  if (out_.getLength() < start + HeaderFields::kSize) {
    cutBack(out_, start);
    window_.unreserve();
    return detail::refusedByGetData();
  }
  // The header as written decides what the peer's response will carry.
  const unsigned char* header = out_.getBuffer() + start;
  const std::uint32_t commandId = detail::loadBig32(header + 4);
  const std::uint32_t sequenceNumber = detail::loadBig32(header + 12);
  if (!window_.record(sequenceNumber, commandId, deadline)) {
    cutBack(out_, start);
    window_.unreserve();
    return Result(Outcome::kItemRefused, "sequence_number",
                  std::to_string(sequenceNumber) + " is already outstanding");
  }
  return Result();
}

void Endpoint::consumePending(std::size_t n) {
  // Emptying would release the storage, and the next send would allocate it again.
  if (n >= out_.getLength()) {
    out_.setLength(0);
    return;
  }
  out_.removeBytes0(static_cast<int>(n));
}

std::size_t Endpoint::expire(TimePoint now) {
  return window_.expire(now, [this](const OutstandingRequest& request) {
    if (onExpired_) onExpired_(request);
  });
}

std::size_t Endpoint::cancelAll() {
  return window_.cancelAll([this](const OutstandingRequest& request) {
    if (onCancelled_) onCancelled_(request);
  });
}

bool Endpoint::cancel(std::uint32_t sequenceNumber) {
  OutstandingRequest request;
  if (!window_.cancel(sequenceNumber, &request)) return false;
  if (onCancelled_) onCancelled_(request);
  return true;
}

}  // namespace orvelpdu

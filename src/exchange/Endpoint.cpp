#include "orvelpdu/exchange/Endpoint.h"

#include <cstring>
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
  if (kept_.empty()) {
    take(data, size);
    return !failed_;
  }
  // Bytes an exception left come first; this path allocates, as the exception did.
  std::vector<unsigned char> bytes;
  bytes.swap(kept_);
  if (size > 0) bytes.insert(bytes.end(), data, data + size);
  take(bytes.data(), bytes.size());
  return !failed_;
}

void Endpoint::take(const unsigned char* data, std::size_t size) {
  std::size_t pos = 0;
  try {
    while (pos < size && !failed_) {
      if (framer_.buffered() > 0) {
        completeHeld(data, size, pos);
        continue;
      }
      dispatchInPlace(data, size, pos);
      if (pos < size) holdRest(data, size, pos);
    }
  } catch (...) {
    if (!failed_) kept_.assign(data + pos, data + size);
    throw;
  }
}

void Endpoint::dispatchInPlace(const unsigned char* data, std::size_t size, std::size_t& pos) {
  const auto maxLength = static_cast<std::uint32_t>(framer_.maxFrameLength());
  while (size - pos >= 4) {
    const std::uint32_t length = detail::loadBig32(data + pos);
    // A bad length is left to the framer, which reports it as it would in any chunking.
    if (length < 16 || length > maxLength || length > size - pos) return;
    const std::size_t at = pos;
    pos += length;
    dispatcher_.dispatch(data + at, length);
  }
}

void Endpoint::holdRest(const unsigned char* data, std::size_t size, std::size_t& pos) {
  const std::size_t rest = size - pos;
  heldHeadSize_ = rest < 4 ? rest : 4;
  std::memcpy(heldHead_, data + pos, heldHeadSize_);
  framer_.feed(data + pos, rest);
  pos = size;
  drainFramer();
}

void Endpoint::completeHeld(const unsigned char* data, std::size_t size, std::size_t& pos) {
  std::size_t lacking = 0;
  if (heldHeadSize_ < 4) {
    lacking = 4 - heldHeadSize_;
  } else {
    lacking = detail::loadBig32(heldHead_) - framer_.buffered();
  }
  const std::size_t n = lacking < size - pos ? lacking : size - pos;
  if (heldHeadSize_ < 4) {
    std::memcpy(heldHead_ + heldHeadSize_, data + pos, n);
    heldHeadSize_ += n;
  }
  framer_.feed(data + pos, n);
  pos += n;
  drainFramer();
}

void Endpoint::drainFramer() {
  if (!dispatcher_.drain(framer_)) failed_ = true;
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

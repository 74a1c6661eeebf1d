#include "orvelpdu/exchange/Dispatcher.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "buffer/BufferAccess.h"
#include "orvelpdu/buffer/ByteOrder.h"

namespace orvelpdu {

namespace detail {

Result refusedBySetData() { return Result(Outcome::kItemRefused, "", "setData answered 0"); }

Result bytesLeftOver(unsigned int left) {
  return Result(Outcome::kBytesLeftOver, "", std::to_string(left) + " bytes not parsed");
}

}  // namespace detail

namespace {

Result unknownCommandId(std::uint32_t commandId) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned int>(commandId));
  return Result(Outcome::kUnknownCommandId, "command_id", text);
}

}  // namespace

Dispatcher::Dispatcher() = default;
Dispatcher::~Dispatcher() = default;

namespace {

struct IdLess {
  template <class Entry>
  bool operator()(const Entry& entry, std::uint32_t commandId) const {
    return entry.first < commandId;
  }
};

}  // namespace

void Dispatcher::add(std::uint32_t commandId, std::unique_ptr<detail::DispatchSlot> slot) {
  const auto at = std::lower_bound(slots_.begin(), slots_.end(), commandId, IdLess());
  if (at != slots_.end() && at->first == commandId) {
    at->second = std::move(slot);
    return;
  }
  slots_.emplace(at, commandId, std::move(slot));
}

void Dispatcher::remove(std::uint32_t commandId) {
  const auto at = std::lower_bound(slots_.begin(), slots_.end(), commandId, IdLess());
  if (at != slots_.end() && at->first == commandId) slots_.erase(at);
}

detail::DispatchSlot* Dispatcher::find(std::uint32_t commandId) const {
  const auto at = std::lower_bound(slots_.begin(), slots_.end(), commandId, IdLess());
  return at != slots_.end() && at->first == commandId ? at->second.get() : nullptr;
}

bool Dispatcher::handles(std::uint32_t commandId) const { return find(commandId) != nullptr; }

void Dispatcher::onError(ErrorHandler handler) { onError_ = std::move(handler); }

void Dispatcher::fail(const HeaderFields& header, const Result& why) const {
  if (onError_) onError_(header, why);
}

bool Dispatcher::dispatch(CIPByteBuffer& pdu) {
  HeaderFields header;
  const unsigned int size = pdu.getLength();
  const unsigned char* bytes = std::as_const(pdu).getBuffer();
  // The common case, a whole header whose command length is the bytes held, read directly;
  // anything else goes through the strict header parse for its report.
  if (size < HeaderFields::kSize || detail::loadBig32(bytes) != size) {
    fail(header, checkHeaderFields(pdu, LengthRule::kExactlyHeld, header));
    return false;
  }
  header.commandLength = size;
  header.commandId = detail::loadBig32(bytes + 4);
  header.commandStatus = detail::loadBig32(bytes + 8);
  header.sequenceNumber = detail::loadBig32(bytes + 12);
  header.fieldsRead = 4;
  detail::DispatchSlot* const slot = find(header.commandId);
  if (slot == nullptr) {
    fail(header, unknownCommandId(header.commandId));
    return false;
  }
  const Result delivered = slot->deliver(pdu, header);
  if (!delivered.ok()) {
    fail(header, delivered);
    return false;
  }
  return true;
}

bool Dispatcher::dispatch(const unsigned char* data, std::size_t size) {
  detail::BufferAccess::lendBytes(data, static_cast<int>(size), view_);
  const bool delivered = dispatch(view_);
  view_.empty();
  return delivered;
}

bool Dispatcher::drain(PDUFramer& framer) {
  for (;;) {
    switch (framer.next(frame_)) {
      case PDUFramer::Result::kFrame:
        dispatch(frame_);
        break;
      case PDUFramer::Result::kNeedMore:
        return true;
      case PDUFramer::Result::kFramingError: {
        HeaderFields header;
        header.commandLength = framer.badLength();
        header.fieldsRead = 1;
        // The offset is the framer's (badOffset): a caller that fed only part of the stream
        // through it knows better, so the report names the length alone.
        fail(header, Result(Outcome::kFramingError, "command_length",
                            std::to_string(framer.badLength()) + ", outside 16.." +
                                std::to_string(framer.maxFrameLength())));
        return false;
      }
    }
  }
}

}  // namespace orvelpdu

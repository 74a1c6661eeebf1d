#include "orvelpdu/exchange/Dispatcher.h"

#include <cstdio>
#include <string>

#include "buffer/BufferAccess.h"

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

void Dispatcher::add(std::uint32_t commandId, std::unique_ptr<detail::DispatchSlot> slot) {
  slots_[commandId] = std::move(slot);
}

void Dispatcher::remove(std::uint32_t commandId) { slots_.erase(commandId); }

bool Dispatcher::handles(std::uint32_t commandId) const { return slots_.count(commandId) != 0; }

void Dispatcher::onError(ErrorHandler handler) { onError_ = std::move(handler); }

void Dispatcher::fail(const HeaderFields& header, const Result& why) const {
  if (onError_) onError_(header, why);
}

bool Dispatcher::dispatch(CIPByteBuffer& pdu) {
  HeaderFields header;
  Result checked = checkHeaderFields(pdu, LengthRule::kExactlyHeld, header);
  if (!checked.ok()) {
    fail(header, checked);
    return false;
  }
  const auto found = slots_.find(header.commandId);
  if (found == slots_.end()) {
    fail(header, unknownCommandId(header.commandId));
    return false;
  }
  Result delivered = found->second->deliver(pdu, header);
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

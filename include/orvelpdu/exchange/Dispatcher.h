// Dispatcher routes received PDUs by command id: the caller registers, per command id, a PDU
// type and a handler; given a framed PDU the dispatcher reads its header strictly, parses the
// PDU into the object registered for its command id and calls the handler with that object.
//
// The PDU objects are made once, at registration, and reused for every PDU of their id, so a
// PDU costs no allocation beyond what its own fields need (a parse that reuses its fields'
// storage needs none). A handler sees the object only during its call; the next PDU of the
// same id overwrites it.
//
// Parsing. A type with `Result parse(CIPByteBuffer&)` (a described PDU) is parsed with it; any
// other CIPByteData (a hand-written PDU) with setData, whose 0 becomes Outcome::kItemRefused.
// Either way a PDU must take all of its bytes (else kBytesLeftOver).
//
// Failures. A header cut short or whose command length disagrees with the bytes, a command id
// nothing is registered for (kUnknownCommandId), a PDU its parse refuses, and a framing error
// found by drain (kFramingError) all go to the one error handler, with the header fields that
// could be read (HeaderFields::fieldsRead says how many) and the Result saying why, so that the
// caller can answer with a negative acknowledgement carrying the received sequence number.
// Without an error handler they are dropped. Reports of failures allocate their texts; the
// path of a sound PDU does not.
//
// Handlers run on the caller's thread inside dispatch/drain. They may do anything except
// register or unregister handlers on, or dispatch through, the same dispatcher. Exceptions
// from handlers and parses (std::bad_alloc) pass through. A dispatcher is used by one thread
// at a time.
#ifndef ORVELPDU_EXCHANGE_DISPATCHER_H_
#define ORVELPDU_EXCHANGE_DISPATCHER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"
#include "orvelpdu/pdu/HeaderCheck.h"
#include "orvelpdu/stream/PDUFramer.h"

namespace orvelpdu {

namespace detail {

template <class T, class = void>
struct HasStrictParse : std::false_type {};
template <class T>
struct HasStrictParse<
    T, std::enable_if_t<std::is_same_v<
           decltype(std::declval<T&>().parse(std::declval<CIPByteBuffer&>())), Result>>>
    : std::true_type {};

// Outcome::kItemRefused for a hand-written PDU whose setData answered 0.
ORVELPDU_API Result refusedBySetData();
// Outcome::kBytesLeftOver for a PDU that left `left` of its bytes unparsed.
ORVELPDU_API Result bytesLeftOver(unsigned int left);

// Parses `in` into `pdu` with its strict parse, or with setData's 1/0.
template <class T>
Result parseInto(T& pdu, CIPByteBuffer& in) {
  if constexpr (HasStrictParse<T>::value) {
    return pdu.parse(in);
  } else {
    return pdu.setData(in) != 0 ? Result() : refusedBySetData();
  }
}

// Calls handler(pdu, header) or handler(pdu), whichever it takes.
template <class Handler, class T>
void invokeHandler(Handler& handler, T& pdu, const HeaderFields& header) {
  if constexpr (std::is_invocable_v<Handler&, T&, const HeaderFields&>) {
    handler(pdu, header);
  } else {
    handler(pdu);
  }
}

// One registration: the reused PDU object and its handler.
class DispatchSlot {
 public:
  virtual ~DispatchSlot() = default;
  // Parses the framed PDU in `in` and, when it is sound, hands it to the handler.
  virtual Result deliver(CIPByteBuffer& in, const HeaderFields& header) = 0;
};

template <class T, class Handler>
class TypedDispatchSlot final : public DispatchSlot {
 public:
  TypedDispatchSlot(std::unique_ptr<T> pdu, Handler handler)
      : pdu_(std::move(pdu)), handler_(std::move(handler)) {}
  Result deliver(CIPByteBuffer& in, const HeaderFields& header) override {
    Result parsed = parseInto(*pdu_, in);
    if (!parsed.ok()) return parsed;
    if (in.getLength() != 0) return bytesLeftOver(in.getLength());
    invokeHandler(handler_, *pdu_, header);
    return Result();
  }

 private:
  std::unique_ptr<T> pdu_;
  Handler handler_;
};

}  // namespace detail

class ORVELPDU_API Dispatcher {
 public:
  using ErrorHandler = std::function<void(const HeaderFields& header, const Result& why)>;

  Dispatcher();
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;
  ~Dispatcher();

  // Registers the PDU type T for its command id T::kCommandId, with a default-constructed T
  // reused for every PDU; `handler` is called as handler(T&, const HeaderFields&) or
  // handler(T&). Replaces an earlier registration of the id.
  template <class T, class Handler>
  void on(Handler handler) {
    on(
        static_cast<std::uint32_t>(T::kCommandId), [] { return std::make_unique<T>(); },
        std::move(handler));
  }
  // Registers the object `factory()` makes (a std::unique_ptr to a CIPByteData, typically a
  // hand-written PDU) for `commandId`. The factory is called once, here.
  template <class Factory, class Handler>
  void on(std::uint32_t commandId, Factory factory, Handler handler) {
    using Pointer = decltype(factory());
    using T = typename Pointer::element_type;
    add(commandId,
        std::make_unique<detail::TypedDispatchSlot<T, Handler>>(factory(), std::move(handler)));
  }
  // Removes the registration of `commandId`, if any.
  void remove(std::uint32_t commandId);
  [[nodiscard]] bool handles(std::uint32_t commandId) const;

  void onError(ErrorHandler handler);

  // Dispatches one framed PDU: `pdu` holds exactly its bytes. true when a handler received
  // it; otherwise the error handler has been told why. Afterwards `pdu` holds whatever the
  // parse left of it (a parse removes what it reads): callers do not rely on it.
  bool dispatch(CIPByteBuffer& pdu);
  // The same for the framed PDU of `size` bytes at `data`, parsed where it lies: the bytes
  // are neither copied (beyond what the PDU's fields take) nor written.
  // REQUIRES: data readable for size bytes (null only with size 0); size < 2^31.
  bool dispatch(const unsigned char* data, std::size_t size);
  // Takes every whole PDU out of `framer` and dispatches each, in stream order. On a framing
  // error (now or earlier) the error handler is told, with kFramingError and the bad command
  // length as the one header field read, and the result is false: the connection is lost.
  // Each PDU taken out of a framer costs a block for its bytes (Endpoint avoids that for PDUs
  // that arrive whole by dispatching them in place).
  bool drain(PDUFramer& framer);

 private:
  void add(std::uint32_t commandId, std::unique_ptr<detail::DispatchSlot> slot);
  void fail(const HeaderFields& header, const Result& why) const;
  detail::DispatchSlot* find(std::uint32_t commandId) const;

  // By command id, ascending: few entries, found by binary search without hashing.
  std::vector<std::pair<std::uint32_t, std::unique_ptr<detail::DispatchSlot>>> slots_;
  ErrorHandler onError_;
  CIPByteBuffer frame_;  // the PDU drain is dispatching
  CIPByteBuffer view_;   // the bytes dispatch(data, size) parses, lent
};

}  // namespace orvelpdu

#endif  // ORVELPDU_EXCHANGE_DISPATCHER_H_

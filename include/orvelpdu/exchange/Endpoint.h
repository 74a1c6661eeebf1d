// Endpoint is one connection's exchange of PDUs, without the connection: received bytes go
// in and come out as events (handler calls); PDUs to send go in and come out as bytes to
// write. It joins a PDUFramer (splitting the stream), a Dispatcher (parsing by command id) and
// a RequestWindow (requests in flight), and opens no socket, reads no clock and starts no
// thread: the caller moves the bytes, passes the time and drives it from one thread.
//
// Events, each a handler the caller registers:
//   onRequest<T>     a PDU the peer sent that is not a response, parsed into T: answer it
//                    with send(); handler(T&) or handler(T&, const HeaderFields&)
//   onResponse<T>    a response paired with the request it answers, which is thereby ended:
//                    handler(T&, const OutstandingRequest&)
//   onStray          a sound response that answers nothing outstanding: kLate (its request
//                    had expired or been cancelled) or kUnmatched
//   onExpired        a request whose deadline passed (from expire(now))
//   onCancelled      a request ended by cancel() or cancelAll()
//   onError          a PDU to refuse, typically with a negative acknowledgement carrying the
//                    header's sequence number: unknown command id, a header or body its
//                    parse refuses; and, once, the loss of framing (Outcome::kFramingError),
//                    after which receive() answers false and the connection should end
// Which command ids are responses is said by registering them with onResponse; the window's
// PairingRule says which request ids each answers.
//
// Handlers run inside receive() and expire(), on the caller's thread; they may send and
// cancel, but not call receive() or expire(). A PDU object passed to a handler is reused for
// the next PDU of its id.
//
// Sending. sendRequest numbers the request from this endpoint's own counter (1 to 2^31 - 1,
// then 1 again, skipping numbers still outstanding), encodes it behind the bytes pending and
// records it in the window with its deadline. send() encodes any other PDU (responses and
// negative acknowledgements keep the sequence number the caller set). A type with
// `Result encode(CIPByteBuffer&)` (a described PDU) is encoded with it, any other CPDU with
// getData and a sealed command length. A refused encoding appends nothing and records nothing.
// The bytes to write are pending() .. pending() + pendingSize(); consumePending(n) drops the
// first n once written.
//
// Memory and allocation. A PDU that arrives whole inside one receive() is parsed where it
// lies in the caller's bytes. Only a PDU split across receives is held, by the framer: its
// first part, then just the bytes that complete it, so that the framer never holds more than
// that one partial PDU (below the maximum frame length) and the PDUs after it are again
// parsed in place. Holding one costs one block for its bytes. The window's storage is taken
// at construction and the pending bytes' storage is kept when they are all consumed, so the
// steady exchange of sound PDUs allocates only what the PDUs' own fields need, and one block
// per PDU split across receives. Failure reports allocate their texts.
//
// Exceptions pass through. From the sends (std::bad_alloc) nothing is appended or recorded.
// From receive(), an exception thrown by a handler leaves the bytes after the PDU being
// handled kept (copied) for the next receive(), which takes them first; std::bad_alloc from
// keeping received bytes may lose them, so the connection should then be ended.
#ifndef ORVELPDU_EXCHANGE_ENDPOINT_H_
#define ORVELPDU_EXCHANGE_ENDPOINT_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/exchange/Dispatcher.h"
#include "orvelpdu/exchange/RequestWindow.h"
#include "orvelpdu/export.h"
#include "orvelpdu/pdu/CPDU.h"
#include "orvelpdu/pdu/HeaderCheck.h"
#include "orvelpdu/pdu/Sealing.h"
#include "orvelpdu/stream/PDUFramer.h"

namespace orvelpdu {

namespace detail {

template <class T, class = void>
struct HasStrictEncode : std::false_type {};
template <class T>
struct HasStrictEncode<
    T, std::enable_if_t<std::is_same_v<
           decltype(std::declval<T&>().encode(std::declval<CIPByteBuffer&>())), Result>>>
    : std::true_type {};

// Outcome::kItemRefused for a hand-written PDU whose getData answered 0 (or that wrote no
// whole header).
ORVELPDU_API Result refusedByGetData();

// Appends `pdu`'s encoding to `out`, command length sealed; nothing on failure.
template <class T>
Result encodeInto(T& pdu, CIPByteBuffer& out) {
  if constexpr (HasStrictEncode<T>::value) {
    return pdu.encode(out);
  } else {
    return encodeSealed(pdu, out) ? Result() : refusedByGetData();
  }
}

}  // namespace detail

class ORVELPDU_API Endpoint {
 public:
  using TimePoint = RequestWindow::TimePoint;
  using ErrorHandler = Dispatcher::ErrorHandler;
  using EndedHandler = std::function<void(const OutstandingRequest& request)>;
  using StrayHandler = std::function<void(const HeaderFields& header, ResponseMatch match)>;

  // At most `window` requests in flight (and as many ended ones remembered for late
  // responses), paired by `pairs`; received PDUs of at most `maxFrameLength` bytes.
  // REQUIRES: pairs is callable; window < 2^29.
  Endpoint(RequestWindow::PairingRule pairs, std::size_t window,
           int maxFrameLength = PDUFramer::kDefaultMaxFrameLength);
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;
  ~Endpoint();

  // ---- Registration (not from inside a handler) ----

  template <class T, class Handler>
  void onRequest(Handler handler) {
    dispatcher_.on<T>(std::move(handler));
  }
  // With the object `factory()` makes (a std::unique_ptr to a hand-written PDU), for `commandId`.
  template <class Factory, class Handler>
  void onRequest(std::uint32_t commandId, Factory factory, Handler handler) {
    dispatcher_.on(commandId, std::move(factory), std::move(handler));
  }
  template <class T, class Handler>
  void onResponse(Handler handler) {
    onResponse(
        static_cast<std::uint32_t>(T::kCommandId), [] { return std::make_unique<T>(); },
        std::move(handler));
  }
  template <class Factory, class Handler>
  void onResponse(std::uint32_t commandId, Factory factory, Handler handler) {
    using T = typename decltype(factory())::element_type;
    dispatcher_.on(commandId, std::move(factory),
                   [this, h = std::move(handler)](T& pdu, const HeaderFields& header) mutable {
                     OutstandingRequest request;
                     if (!pair(header, request)) return;
                     h(pdu, static_cast<const OutstandingRequest&>(request));
                   });
  }
  void onError(ErrorHandler handler);
  void onStray(StrayHandler handler) { onStray_ = std::move(handler); }
  void onExpired(EndedHandler handler) { onExpired_ = std::move(handler); }
  void onCancelled(EndedHandler handler) { onCancelled_ = std::move(handler); }

  // ---- Bytes in ----

  // Takes `size` received bytes and dispatches every PDU they complete, in stream order.
  // false once the stream's framing is lost (reported to onError the first time only); the
  // bytes are then ignored. REQUIRES: data readable for size bytes (null only with size 0).
  bool receive(const unsigned char* data, std::size_t size);
  bool failed() const { return failed_; }

  // ---- PDUs in, bytes out ----

  // Sends a request tracked until `deadline` (see above). Fails with kOverLimit (field
  // "window") when the window is full, or with the encoding's failure.
  template <class T>
  Result sendRequest(T& pdu, TimePoint deadline) {
    if (!window_.reserve()) return windowFull();
    pdu.setSequenceNumber(static_cast<int>(takeSequenceNumber()));
    const unsigned int start = out_.getLength();
    Reservation reservation(window_);
    const Result encoded = detail::encodeInto(pdu, out_);
    reservation.handOver();
    return recordRequest(start, deadline, encoded);
  }
  // Sends a PDU that is not tracked: a response, a negative acknowledgement, a notification.
  template <class T>
  Result send(T& pdu) {
    return detail::encodeInto(pdu, out_);
  }

  const unsigned char* pending() const { return out_.getBuffer(); }
  std::size_t pendingSize() const { return out_.getLength(); }
  // Drops the first `n` pending bytes (all of them when n >= pendingSize()).
  void consumePending(std::size_t n);

  // ---- Time and ending ----

  // Ends every request whose deadline is at or before `now` (onExpired each); returns how many.
  std::size_t expire(TimePoint now);
  // The earliest deadline of a request in flight; false when none is.
  [[nodiscard]] bool nextDeadline(TimePoint& deadline) const {
    return window_.nextDeadline(deadline);
  }
  // Cancels every request in flight (onCancelled each), as when the connection ends.
  std::size_t cancelAll();
  // Cancels one request; false when it is not outstanding.
  bool cancel(std::uint32_t sequenceNumber);

  const RequestWindow& window() const { return window_; }
  // Received bytes held: a PDU not yet complete.
  std::size_t buffered() const { return framer_.buffered(); }

 private:
  // Pairs the response with `header` (onStray when it answers nothing outstanding).
  bool pair(const HeaderFields& header, OutstandingRequest& request);
  Result windowFull() const;
  std::uint32_t takeSequenceNumber();
  // Gives a reservation back unless handed over (to recordRequest), also when an exception
  // passes.
  class Reservation {
   public:
    explicit Reservation(RequestWindow& window) : window_(window) {}
    Reservation(const Reservation&) = delete;
    Reservation& operator=(const Reservation&) = delete;
    ~Reservation() {
      if (held_) window_.unreserve();
    }
    void handOver() { held_ = false; }

   private:
    RequestWindow& window_;
    bool held_ = true;
  };

  // Records the request just encoded from `start` on, or gives its reservation back.
  Result recordRequest(unsigned int start, TimePoint deadline, const Result& encoded);
  // receive() without the bytes kept from an exception.
  void take(const unsigned char* data, std::size_t size);
  // Dispatches the whole PDUs from data + pos on in place, advancing `pos` past each before
  // its handler runs.
  void dispatchInPlace(const unsigned char* data, std::size_t size, std::size_t& pos);
  // Feeds the framer the bytes from data + pos on that the PDU it holds still lacks (first
  // those of its command length) and dispatches it once whole.
  void completeHeld(const unsigned char* data, std::size_t size, std::size_t& pos);
  // Gives the framer the partial PDU (or bad length) from data + pos to the end.
  void holdRest(const unsigned char* data, std::size_t size, std::size_t& pos);
  void drainFramer();

  PDUFramer framer_;
  Dispatcher dispatcher_;
  RequestWindow window_;
  CIPByteBuffer out_;
  std::uint32_t nextSequenceNumber_ = 1;
  bool failed_ = false;
  // The first bytes (up to 4, its command length) of the partial PDU the framer holds.
  unsigned char heldHead_[4] = {0, 0, 0, 0};
  std::size_t heldHeadSize_ = 0;
  // Received bytes a handler's exception left unprocessed, taken first by the next receive().
  std::vector<unsigned char> kept_;
  StrayHandler onStray_;
  EndedHandler onExpired_;
  EndedHandler onCancelled_;
};

}  // namespace orvelpdu

#endif  // ORVELPDU_EXCHANGE_ENDPOINT_H_

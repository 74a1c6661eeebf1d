// A bounded request-response exchange over a real TCP connection on 127.0.0.1: a client sends
// `count` text-message requests and a server answers each one, every read and write of a
// random size, until every request has its answer, a side reports a fault, or the deadline
// passes. What goes over the wire is decided by the two codec sides, so the same exchange runs
// with the library (LibraryCodec.h) and with a hand-written codec (the benchmark's).
//
// Threads: the server runs on a thread of its own; the client writes from the calling thread
// and reads from another, so neither side can block the other by filling the socket buffers.
// ClientSide::encodeRequest and ClientSide::receive are therefore called concurrently.
#ifndef LOOPBACK_EXCHANGE_H_
#define LOOPBACK_EXCHANGE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace loopback {

using Bytes = std::vector<std::uint8_t>;

// The content of one request, the same whichever codec encodes it.
struct RequestContent {
  std::string sender;
  std::vector<std::pair<std::uint8_t, std::string>> recipients;  // 1 to 3
  std::uint8_t priority = 0;
  std::int32_t validitySeconds = 0;
  std::string text;  // 0 to 200 bytes, NULs possible
  bool hasReference = false;
  std::int16_t reference = 0;
  bool hasCallback = false;
  std::string callback;  // no NUL
  bool reportWanted = false;
};

// Request `index` of the exchange seeded with `seed`: the same content every time.
RequestContent makeRequest(std::uint32_t seed, std::uint32_t index);
// The message id the server gives the request with `sequence`, naming the text length and
// recipient count it received, so that the client can tell the answer is to its request.
std::string messageIdFor(std::int32_t sequence, std::size_t textLength, std::size_t recipients);

class ClientSide {
 public:
  virtual ~ClientSide() = default;
  // Appends the encoding of a request with `content` to `out` and remembers it for its answer.
  virtual void encodeRequest(const RequestContent& content, Bytes& out) = 0;
  // Takes received bytes of the response stream; false, with `error` set, on a fault (a
  // framing error, a malformed response, one that answers no outstanding request).
  virtual bool receive(const std::uint8_t* data, std::size_t size, std::string& error) = 0;
  // Requests answered so far, and requests sent and not yet answered.
  virtual std::size_t answered() const = 0;
  virtual std::size_t outstanding() const = 0;
};

class ServerSide {
 public:
  virtual ~ServerSide() = default;
  // Takes received bytes of the request stream and appends the answer to every request
  // completed by them to `out`; false, with `error` set, on a fault.
  virtual bool serve(const std::uint8_t* data, std::size_t size, Bytes& out,
                     std::string& error) = 0;
  // The request stream has ended. false, with `error` set, when it ended inside a request:
  // bytes received and not yet a whole PDU are a truncated PDU, not a finished exchange.
  virtual bool endOfStream(std::string& error) = 0;
  virtual std::size_t served() const = 0;
};

// REQUIRES: largestChunk of at least 1, and deadlineSeconds a positive number of seconds that
// a steady clock's time point can be moved by (a day at most is safe); the command line
// takes integers within such ranges only.
struct ExchangeOptions {
  std::uint32_t count = 20000;      // requests to send
  std::uint32_t seed = 1;           // request content and read/write sizes
  double deadlineSeconds = 10;      // the whole exchange
  std::size_t largestChunk = 4096;  // reads and writes are 1 to this many bytes
};

struct ExchangeReport {
  bool ok = false;
  std::string error;  // the first fault, when not ok
  std::size_t sent = 0;
  std::size_t served = 0;
  std::size_t answered = 0;
  std::uint16_t port = 0;
  double seconds = 0;  // from connecting to the last answer
};

// Listens on 127.0.0.1 at a port the system picks, stored in `port`. Returns the socket, or -1
// with `error` set.
int listenLoopback(std::uint16_t& port, std::string& error);
// Accepts one connection on `listening` (which it closes) and serves it until the client
// closes its side; report.served counts the requests answered. ok only when the stream ended
// on a PDU boundary (ServerSide::endOfStream) with no fault before.
ExchangeReport serveOne(int listening, ServerSide& server, const ExchangeOptions& options);
// Connects to 127.0.0.1:`port`, sends options.count requests and reads until every one is
// answered; ok only when each request got exactly one answer.
ExchangeReport runClient(std::uint16_t port, ClientSide& client, const ExchangeOptions& options);
// Both of the above, the server on a thread of its own.
ExchangeReport runExchange(ClientSide& client, ServerSide& server, const ExchangeOptions& options);

}  // namespace loopback

#endif  // LOOPBACK_EXCHANGE_H_

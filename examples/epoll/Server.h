// A single-threaded server of the example protocol on non-blocking sockets and epoll: one
// orvelpdu::Endpoint per connection, the socket loop around it moving bytes and passing the
// time. It answers every SubmitText with a SubmitTextResp (message id "m<sequence number>");
// a SubmitText that asks for a report first gets one, a SubmitText request of the server's own
// tracked in the connection's window until the client answers it or it expires. A PDU it
// cannot take gets a SubmitTextResp with a non-zero command status and the received sequence
// number (a negative acknowledgement).
//
// A misbehaving peer is cut off alone, and what one connection may make the server hold is
// bounded: a framing error ends the connection at once; a connection whose bytes to send grow
// past a limit is no longer read until they drain, and one whose bytes to send make no
// progress for a while is cut off; so is one that lets several of the server's requests
// expire. A peer that closes in the middle of a PDU is counted as such.
#ifndef EPOLLSERVER_SERVER_H_
#define EPOLLSERVER_SERVER_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace epollserver {

struct ServerLimits {
  std::size_t reportsInFlight = 16;  // the server's own requests per connection
  std::chrono::milliseconds reportTimeout{5000};
  int expiriesToCutOff = 2;
  std::size_t pauseReadingAbove = 64 * 1024;  // bytes waiting to be sent
  std::size_t resumeReadingBelow = 16 * 1024;
  std::chrono::milliseconds stallTimeout{2000};  // bytes waiting without progress this long
  int maxFrameLength = 4096;
};

// What a run of the server saw; one line of text ("name=value ...") for a parent process.
struct ServerReport {
  std::uint64_t accepted = 0;
  std::uint64_t closedCleanly = 0;
  std::uint64_t cutFraming = 0;
  std::uint64_t cutStalled = 0;
  std::uint64_t cutExpired = 0;
  std::uint64_t cutMidPdu = 0;
  std::uint64_t closedByError = 0;
  std::uint64_t openAtStop = 0;
  std::uint64_t answered = 0;
  std::uint64_t refused = 0;  // negative acknowledgements sent
  std::uint64_t reportsSent = 0;
  std::uint64_t reportsAnswered = 0;
  std::uint64_t reportsExpired = 0;
  std::uint64_t reportsCancelled = 0;
  std::uint64_t strayResponses = 0;
  std::uint64_t peakHeld = 0;            // bytes held by all connections at once, at most
  std::uint64_t peakConnectionHeld = 0;  // bytes held by one connection, at most
  std::uint64_t maxResidentKiB = 0;

  std::string format() const;
  // The report of format()'s line; false when a field is missing.
  static bool parse(const std::string& line, ServerReport& report);
};

class Server {
 public:
  explicit Server(const ServerLimits& limits = ServerLimits());
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  ~Server();

  // Listens on 127.0.0.1:`port` (0: a free port, see port()). false with `error` set.
  bool listen(std::uint16_t port, std::string& error);
  std::uint16_t port() const { return port_; }
  // Serves until `stopFd` (-1: none) becomes readable or reaches its end, then closes every
  // connection. false with `error` set when the loop itself fails.
  bool run(int stopFd, std::string& error);
  const ServerReport& report() const { return report_; }

 private:
  struct Connection;
  using Clock = std::chrono::steady_clock;

  void accept();
  void serve(Connection& c, std::uint32_t events);
  void readFrom(Connection& c);
  void flush(Connection& c);
  void watch(Connection& c);
  // Ends requests due and cuts off stalled connections; returns the epoll wait in ms.
  int tick();
  void close(Connection& c);
  void noteHeld();

  void answer(Connection& c, int sequenceNumber, bool wantsReport);
  void refuse(Connection& c, std::uint32_t sequenceNumber, int status);

  ServerLimits limits_;
  int listenFd_ = -1;
  int epollFd_ = -1;
  std::uint16_t port_ = 0;
  Clock::time_point now_;
  std::unordered_map<int, std::unique_ptr<Connection>> connections_;
  std::vector<unsigned char> readBuffer_;
  ServerReport report_;
};

// The example protocol's pairing rule: a response's command id is its request's with the top
// bit set.
bool responsePairs(std::uint32_t responseId, std::uint32_t requestId);

}  // namespace epollserver

#endif  // EPOLLSERVER_SERVER_H_

#include "Exchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

namespace loopback {
namespace {

using Clock = std::chrono::steady_clock;

// Closes its descriptor when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// The first fault of a run; once one is recorded, every blocked call gives up.
class Failure {
 public:
  void set(const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_.exchange(true)) error_ = why;
  }
  bool failed() const { return failed_.load(); }
  std::string error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }

 private:
  mutable std::mutex mutex_;
  std::atomic<bool> failed_{false};
  std::string error_;
};

std::string lastError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Waits until `fd` is ready for `events` or the deadline passes; polls in short steps so that
// a fault on the other thread ends the wait.
bool waitFor(int fd, short events, Clock::time_point deadline, Failure& failure) {
  while (!failure.failed()) {
    if (Clock::now() >= deadline) {
      failure.set("deadline passed");
      return false;
    }
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, 50);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) {
      failure.set(lastError("poll"));
      return false;
    }
  }
  return false;
}

// Writes all of `bytes` in pieces of random size.
bool writeAll(int fd, const Bytes& bytes, std::mt19937& random, std::size_t largest,
              Clock::time_point deadline, Failure& failure) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (!waitFor(fd, POLLOUT, deadline, failure)) return false;
    const std::size_t piece = std::min<std::size_t>(1 + random() % largest, bytes.size() - pos);
    const ssize_t n = ::send(fd, bytes.data() + pos, piece, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      failure.set(lastError("send"));
      return false;
    }
    pos += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to a random number of bytes into `buffer`: the count, 0 at the end of the stream,
// -1 on a fault or once a fault is recorded.
ssize_t readSome(int fd, std::vector<std::uint8_t>& buffer, std::mt19937& random,
                 Clock::time_point deadline, Failure& failure) {
  for (;;) {
    if (!waitFor(fd, POLLIN, deadline, failure)) return -1;
    const std::size_t want = 1 + random() % buffer.size();
    const ssize_t n = ::recv(fd, buffer.data(), want, 0);
    if (n >= 0) return n;
    if (errno == EINTR || errno == EAGAIN) continue;
    failure.set(lastError("recv"));
    return -1;
  }
}

Clock::time_point deadlineOf(const ExchangeOptions& options) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(options.deadlineSeconds));
}

std::string pick(std::mt19937& random, std::size_t least, std::size_t most, bool nuls) {
  std::string s(least + random() % (most - least + 1), ' ');
  for (char& c : s) {
    const auto v = static_cast<char>(random() % 95 + 32);
    c = nuls && random() % 16 == 0 ? '\0' : v;
  }
  return s;
}

}  // namespace

RequestContent makeRequest(std::uint32_t seed, std::uint32_t index) {
  std::mt19937 random(seed * 1000003u + index);
  RequestContent content;
  content.sender = pick(random, 1, 20, false);
  const std::size_t recipients = 1 + random() % 3;
  for (std::size_t i = 0; i < recipients; ++i) {
    content.recipients.emplace_back(static_cast<std::uint8_t>(random() % 4),
                                    pick(random, 1, 24, false));
  }
  content.priority = static_cast<std::uint8_t>(random() % 4);
  content.validitySeconds = static_cast<std::int32_t>(random() % 86400);
  content.text = pick(random, 0, 200, true);
  content.hasReference = random() % 2 == 0;
  content.reference = static_cast<std::int16_t>(random() % 65536 - 32768);
  content.hasCallback = random() % 3 == 0;
  content.callback = pick(random, 1, 16, false);
  content.reportWanted = random() % 2 == 0;
  return content;
}

std::string messageIdFor(std::int32_t sequence, std::size_t textLength, std::size_t recipients) {
  std::string id = "M";
  id += std::to_string(sequence);
  id += '-';
  id += std::to_string(textLength);
  id += '-';
  id += std::to_string(recipients);
  return id;
}

int listenLoopback(std::uint16_t& port, std::string& error) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    error = lastError("socket");
    return -1;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 1) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    error = lastError("listen on 127.0.0.1");
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

ExchangeReport serveOne(int listening, ServerSide& server, const ExchangeOptions& options) {
  ExchangeReport report;
  Failure failure;
  const auto deadline = deadlineOf(options);
  Descriptor listener(listening);
  if (!waitFor(listener.get(), POLLIN, deadline, failure)) {
    report.error = "server: " + failure.error();
    return report;
  }
  Descriptor connection(::accept(listener.get(), nullptr, nullptr));
  if (connection.get() < 0) {
    report.error = "server: " + lastError("accept");
    return report;
  }
  std::mt19937 random(options.seed ^ 0x5E57Eu);
  std::vector<std::uint8_t> chunk(options.largestChunk);
  Bytes out;
  std::string error;
  for (;;) {
    const ssize_t n = readSome(connection.get(), chunk, random, deadline, failure);
    if (n < 0) break;
    if (n == 0) {
      if (server.endOfStream(error)) {
        report.ok = true;
      } else {
        failure.set(error);
      }
      break;
    }
    out.clear();
    if (!server.serve(chunk.data(), static_cast<std::size_t>(n), out, error)) {
      failure.set(error);
      break;
    }
    if (!writeAll(connection.get(), out, random, options.largestChunk, deadline, failure)) break;
  }
  report.served = server.served();
  if (!report.ok) report.error = "server: " + failure.error();
  return report;
}

namespace {

// The client's reading side: hands what arrives to `client` until every request is answered,
// the server closes, or `failure` is set (by either side).
void receiveAnswers(int fd, ClientSide& client, const ExchangeOptions& options,
                    Clock::time_point deadline, Failure& failure) {
  std::mt19937 random(options.seed ^ 0xC11Eu);
  std::vector<std::uint8_t> chunk(options.largestChunk);
  std::string error;
  while (client.answered() < options.count) {
    const ssize_t n = readSome(fd, chunk, random, deadline, failure);
    if (n < 0) return;
    if (n == 0) {
      failure.set("the server closed the connection with " +
                  std::to_string(options.count - client.answered()) + " requests unanswered");
      return;
    }
    if (!client.receive(chunk.data(), static_cast<std::size_t>(n), error)) {
      failure.set(error);
      return;
    }
  }
}

}  // namespace

ExchangeReport runClient(std::uint16_t port, ClientSide& client, const ExchangeOptions& options) {
  ExchangeReport report;
  report.port = port;
  Failure failure;
  const auto deadline = deadlineOf(options);
  Descriptor connection(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (connection.get() < 0 ||
      ::connect(connection.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    report.error = "client: " + lastError("connect to 127.0.0.1");
    return report;
  }
  const int one = 1;
  ::setsockopt(connection.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const auto start = Clock::now();

  std::thread reader([&] { receiveAnswers(connection.get(), client, options, deadline, failure); });

  // Requests are encoded in batches, each batch written in pieces of random size.
  std::mt19937 random(options.seed ^ 0x5E4Du);
  Bytes batch;
  for (std::uint32_t i = 0; i < options.count && !failure.failed(); ++i) {
    client.encodeRequest(makeRequest(options.seed, i), batch);
    ++report.sent;
    if (batch.size() >= 8192 || i + 1 == options.count) {
      if (!writeAll(connection.get(), batch, random, options.largestChunk, deadline, failure)) {
        break;
      }
      batch.clear();
    }
  }
  reader.join();
  // Closing our side tells the server the exchange is over.
  ::shutdown(connection.get(), SHUT_WR);
  report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  report.answered = client.answered();
  report.ok = !failure.failed() && report.answered == options.count && client.outstanding() == 0;
  if (!report.ok) {
    report.error = failure.failed() ? "client: " + failure.error()
                                    : "client: " + std::to_string(client.outstanding()) +
                                          " requests left without an answer";
  }
  return report;
}

ExchangeReport runExchange(ClientSide& client, ServerSide& server, const ExchangeOptions& options) {
  ExchangeReport failed;
  std::uint16_t port = 0;
  const int listening = listenLoopback(port, failed.error);
  if (listening < 0) return failed;
  ExchangeReport served;
  // The server waits a second longer than the client, so that the client, which checks the
  // answers, is the one to give the verdict on a stalled exchange.
  ExchangeOptions serverOptions = options;
  serverOptions.deadlineSeconds += 1;
  std::thread serverThread([&] { served = serveOne(listening, server, serverOptions); });
  // A client that fails closes its connection, which ends the server's too; a server that
  // never got one gives up at its deadline.
  ExchangeReport report = runClient(port, client, options);
  serverThread.join();
  report.served = served.served;
  if (report.ok && !served.ok) {
    report.ok = false;
    report.error = served.error;
  } else if (!report.ok && !served.ok) {
    report.error += "; " + served.error;
  }
  return report;
}

}  // namespace loopback

#include "LoadTest.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Server.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace epollserver {

namespace {

using Clock = std::chrono::steady_clock;

enum class Kind { kGood, kStopsReading, kGarbage, kMidPdu, kUnanswering };

const char* nameOf(Kind kind) {
  switch (kind) {
    case Kind::kGood:
      return "good";
    case Kind::kStopsReading:
      return "stops reading";
    case Kind::kGarbage:
      return "sends garbage";
    case Kind::kMidPdu:
      return "disconnects mid-PDU";
    case Kind::kUnanswering:
      return "leaves requests unanswered";
  }
  return "?";
}

// A bound on what the server may hold for one connection: a partial PDU, one read's worth of
// received bytes, and the answers to them on top of the backlog at which it stops reading.
constexpr std::uint64_t kConnectionBound = 4096 + 3 * 64 * 1024;

struct Client {
  Client(Kind k, int requestCount)
      : kind(k), requests(requestCount), endpoint(responsePairs, 8, 4096) {}

  Kind kind;
  int requests;
  int fd = -1;
  orvelpdu::Endpoint endpoint;
  textmsg::SubmitText request;
  textmsg::SubmitTextResp answer;
  std::vector<unsigned char> raw;  // what a garbage or mid-PDU client sends
  int sent = 0;
  int answered = 0;
  int wrongAnswers = 0;
  int faults = 0;  // errors, strays, expiries seen by a client
  int reportsSeen = 0;
  int reportsAnswered = 0;
  std::uint64_t bytesSent = 0;
  bool shutDown = false;  // closed its sending side after its last answer
  bool ended = false;     // the connection is over
  bool cutOff = false;    // ended by the server while the client still wanted it
};

bool fail(const std::string& why) {
  std::fprintf(stderr, "FAIL: %s\n", why.c_str());
  return false;
}

int connectTo(std::uint16_t port, bool smallReceiveBuffer) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (smallReceiveBuffer) {
    const int size = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  // Connected while blocking, so that a full accept queue only slows the start down.
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void setNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

class Driver {
 public:
  Driver(const LoadOptions& options, std::uint16_t port) : options_(options), port_(port) {}
  bool run();
  const std::vector<std::unique_ptr<Client>>& clients() const { return clients_; }

 private:
  bool start(Kind kind, int requests);
  void handlers(Client& c);
  void pump(Client& c);
  void flush(Client& c);
  void readFrom(Client& c);
  void end(Client& c, bool byServer);
  void watch(Client& c);

  LoadOptions options_;
  std::uint16_t port_;
  int epollFd_ = -1;
  std::vector<std::unique_ptr<Client>> clients_;
  std::vector<unsigned char> readBuffer_ = std::vector<unsigned char>(64 * 1024);
  Clock::time_point now_ = Clock::now();
  int live_ = 0;
};

void Driver::handlers(Client& c) {
  c.endpoint.onResponse<textmsg::SubmitTextResp>(
      [&c](textmsg::SubmitTextResp& resp, const orvelpdu::OutstandingRequest& request) {
        const std::string expected = "m" + std::to_string(request.sequenceNumber);
        const bool right = resp.getCommandStatus() == 0 && resp.messageId == expected.c_str();
        ++(right ? c.answered : c.wrongAnswers);
      });
  c.endpoint.onRequest<textmsg::SubmitText>([&c](textmsg::SubmitText& report) {
    ++c.reportsSeen;
    if (c.kind == Kind::kUnanswering) return;
    c.answer.setSequenceNumber(report.getSequenceNumber());
    c.answer.messageId = "ack";
    if (c.endpoint.send(c.answer).ok()) ++c.reportsAnswered;
  });
  c.endpoint.onError([&c](const orvelpdu::HeaderFields&, const orvelpdu::Result& why) {
    std::fprintf(stderr, "client %d: %s\n", c.fd, why.reason().c_str());
    ++c.faults;
  });
  c.endpoint.onStray([&c](const orvelpdu::HeaderFields&, orvelpdu::ResponseMatch) { ++c.faults; });
  c.endpoint.onExpired([&c](const orvelpdu::OutstandingRequest&) { ++c.faults; });
}

bool Driver::start(Kind kind, int requests) {
  auto client = std::make_unique<Client>(kind, requests);
  Client& c = *client;
  c.fd = connectTo(port_, kind == Kind::kStopsReading);
  if (c.fd < 0) return fail(std::string("connect: ") + std::strerror(errno));
  setNonBlocking(c.fd);
  c.request.sender = "client";
  c.request.text = "hello over epoll";
  c.request.recipients.add(textmsg::Recipient(1, "4711"));
  handlers(c);
  if (kind == Kind::kGarbage) {
    const char text[] = "this is not a PDU, only words sent where a header belongs\n";
    c.raw.assign(text, text + sizeof text - 1);
  }
  if (kind == Kind::kMidPdu) {
    CIPByteBuffer whole;
    c.request.setSequenceNumber(1);
    if (c.request.getData(whole) == 0) return fail("a SubmitText does not encode");
    c.raw.assign(whole.getBuffer(), whole.getBuffer() + whole.getLength() / 2);
  }
  epoll_event event{};
  event.events = EPOLLOUT | EPOLLRDHUP | (kind == Kind::kStopsReading ? 0u : EPOLLIN);
  event.data.ptr = &c;
  ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, c.fd, &event);
  clients_.push_back(std::move(client));
  ++live_;
  return true;
}

// Queues what the client has to send now.
void Driver::pump(Client& c) {
  switch (c.kind) {
    case Kind::kGood:
    case Kind::kUnanswering:
      while (c.sent < c.requests && c.endpoint.window().outstanding() < 8) {
        if (c.kind == Kind::kUnanswering || c.sent % 4 == 0) {
          c.request.reportWanted.setValue(0);
        } else {
          c.request.reportWanted = CTLVEmpty(textmsg::kReportWanted);
        }
        if (!c.endpoint.sendRequest(c.request, now_ + std::chrono::seconds(30)).ok()) break;
        ++c.sent;
      }
      break;
    case Kind::kStopsReading:
      // Always more: requests untracked, numbered by hand, as long as the socket takes them.
      while (c.endpoint.pendingSize() < 16 * 1024) {
        c.request.setSequenceNumber(++c.sent);
        if (!c.endpoint.send(c.request).ok()) break;
      }
      break;
    case Kind::kGarbage:
    case Kind::kMidPdu:
      break;
  }
}

void Driver::flush(Client& c) {
  const unsigned char* data = c.raw.empty() ? c.endpoint.pending() : c.raw.data();
  const std::size_t size = c.raw.empty() ? c.endpoint.pendingSize() : c.raw.size();
  if (size == 0) return;
  const ssize_t n = ::send(c.fd, data, size, MSG_NOSIGNAL);
  if (n <= 0) {
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) end(c, true);
    return;
  }
  c.bytesSent += static_cast<std::uint64_t>(n);
  if (!c.raw.empty()) {
    c.raw.erase(c.raw.begin(), c.raw.begin() + n);
    if (c.raw.empty() && c.kind == Kind::kMidPdu) end(c, false);
    return;
  }
  c.endpoint.consumePending(static_cast<std::size_t>(n));
}

void Driver::readFrom(Client& c) {
  const ssize_t n = ::recv(c.fd, readBuffer_.data(), readBuffer_.size(), 0);
  if (n > 0) {
    if (!c.endpoint.receive(readBuffer_.data(), static_cast<std::size_t>(n))) end(c, true);
    return;
  }
  if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) end(c, true);
}

void Driver::end(Client& c, bool byServer) {
  if (c.ended) return;
  c.ended = true;
  c.cutOff = byServer && !c.shutDown;
  ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, c.fd, nullptr);
  ::close(c.fd);
  --live_;
}

void Driver::watch(Client& c) {
  if (c.ended) return;
  // A good client whose every request is answered closes its side; the server then closes its.
  if (c.kind == Kind::kGood && !c.shutDown && c.answered + c.wrongAnswers == c.requests &&
      c.endpoint.pendingSize() == 0) {
    ::shutdown(c.fd, SHUT_WR);
    c.shutDown = true;
  }
  const bool wantsOut =
      c.endpoint.pendingSize() > 0 || !c.raw.empty() || c.kind == Kind::kStopsReading;
  epoll_event event{};
  event.events =
      EPOLLRDHUP | (wantsOut ? EPOLLOUT : 0u) | (c.kind == Kind::kStopsReading ? 0u : EPOLLIN);
  event.data.ptr = &c;
  ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, c.fd, &event);
}

bool Driver::run() {
  epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
  if (epollFd_ < 0) return fail("epoll_create1");
  const Clock::time_point deadline =
      Clock::now() +
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options_.deadline));
  const Kind bad[] = {Kind::kStopsReading, Kind::kGarbage, Kind::kMidPdu, Kind::kUnanswering};
  for (Kind kind : bad) {
    if (!start(kind, 5)) return false;
  }
  for (int i = 0; i < options_.clients; ++i) {
    if (!start(Kind::kGood, options_.requests)) return false;
  }
  for (auto& c : clients_) {
    pump(*c);
    flush(*c);
    watch(*c);
  }
  std::vector<epoll_event> ready(256);
  while (live_ > 0) {
    now_ = Clock::now();
    if (now_ >= deadline) {
      ::close(epollFd_);
      return fail("the deadline passed with " + std::to_string(live_) + " connections open");
    }
    const int n = ::epoll_wait(epollFd_, ready.data(), static_cast<int>(ready.size()), 100);
    now_ = Clock::now();
    for (int i = 0; i < n; ++i) {
      const epoll_event& event = ready[static_cast<std::size_t>(i)];
      Client& c = *static_cast<Client*>(event.data.ptr);
      if (c.ended) continue;
      if (c.kind == Kind::kStopsReading) {
        // It reads nothing, so only a hang-up or an error tells it the server cut it off.
        if ((event.events & (EPOLLHUP | EPOLLERR | EPOLLRDHUP)) != 0) {
          end(c, true);
          continue;
        }
      } else if ((event.events & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP)) != 0) {
        readFrom(c);
      }
      if (c.ended) continue;
      pump(c);
      flush(c);
      watch(c);
    }
    for (auto& c : clients_) {
      if (!c->ended) c->endpoint.expire(now_);
    }
  }
  ::close(epollFd_);
  return true;
}

bool check(const Driver& driver, const ServerReport& server, const LoadOptions& options) {
  bool ok = true;
  std::uint64_t goodAnswered = 0;
  std::uint64_t reportsAnswered = 0;
  for (const auto& c : driver.clients()) {
    const std::string who = std::string("client (") + nameOf(c->kind) + ")";
    if (c->kind == Kind::kGood) {
      goodAnswered += static_cast<std::uint64_t>(c->answered);
      reportsAnswered += static_cast<std::uint64_t>(c->reportsAnswered);
      if (c->answered != c->requests || c->wrongAnswers != 0 || c->faults != 0) {
        ok = fail(who + ": " + std::to_string(c->answered) + " of " + std::to_string(c->requests) +
                  " answered, " + std::to_string(c->wrongAnswers) + " wrong, " +
                  std::to_string(c->faults) + " faults");
      }
      if (c->cutOff) ok = fail(who + " was cut off");
      if (c->reportsAnswered != c->reportsSeen || c->reportsSeen == 0) {
        ok = fail(who + ": reports seen " + std::to_string(c->reportsSeen) + ", answered " +
                  std::to_string(c->reportsAnswered));
      }
    } else if (c->kind != Kind::kMidPdu && !c->cutOff) {
      ok = fail(who + " was not cut off");
    }
    if (c->kind == Kind::kUnanswering && c->answered != c->requests) {
      ok = fail(who + ": its own requests were not all answered");
    }
  }
  const auto expect = [&ok](const char* what, std::uint64_t got, std::uint64_t wanted) {
    if (got != wanted) {
      ok = fail(std::string("server ") + what + " " + std::to_string(got) + ", expected " +
                std::to_string(wanted));
    }
  };
  const auto good = static_cast<std::uint64_t>(options.clients);
  expect("accepted", server.accepted, good + 4);
  expect("closed cleanly", server.closedCleanly, good);
  expect("cut for framing", server.cutFraming, 1);
  expect("cut for stalling", server.cutStalled, 1);
  expect("cut for expiries", server.cutExpired, 1);
  expect("cut mid-PDU", server.cutMidPdu, 1);
  expect("closed by error", server.closedByError, 0);
  expect("open at stop", server.openAtStop, 0);
  expect("reports answered", server.reportsAnswered, reportsAnswered);
  expect("stray responses", server.strayResponses, 0);
  if (goodAnswered != good * static_cast<std::uint64_t>(options.requests)) {
    ok = fail("good requests answered " + std::to_string(goodAnswered));
  }
  if (server.reportsExpired < 2) ok = fail("the unanswered reports did not expire");
  if (server.peakConnectionHeld > kConnectionBound) {
    ok = fail("one connection held " + std::to_string(server.peakConnectionHeld) + " bytes");
  }
  return ok;
}

}  // namespace

int runLoadTest(const LoadOptions& options) {
  Server server;
  std::string error;
  if (!server.listen(0, error)) return fail(error), 1;
  int stop[2];
  int report[2];
  if (::pipe(stop) != 0 || ::pipe(report) != 0) return fail("pipe"), 1;
  const pid_t child = ::fork();
  if (child < 0) return fail("fork"), 1;
  if (child == 0) {
    ::close(stop[1]);
    ::close(report[0]);
    const bool served = server.run(stop[0], error);
    const std::string line = served ? server.report().format() + "\n" : "error " + error + "\n";
    const bool written =
        ::write(report[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
    std::exit(served && written ? 0 : 1);
  }
  ::close(stop[0]);
  ::close(report[1]);
  const Clock::time_point started = Clock::now();
  bool ok = true;
  {
    Driver driver(options, server.port());
    ok = driver.run();
    ::close(stop[1]);  // the server stops and reports
    std::string line;
    char chunk[512];
    for (ssize_t n; (n = ::read(report[0], chunk, sizeof chunk)) > 0;) {
      line.append(chunk, static_cast<std::size_t>(n));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ServerReport seen;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !ServerReport::parse(line, seen)) {
      ok = fail("the server ended badly: " + line);
    } else if (ok) {
      ok = check(driver, seen, options);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("%d good clients x %d requests + 4 bad peers in %.2f s\nserver: %s\n",
                options.clients, options.requests, seconds, line.c_str());
    for (const auto& c : driver.clients()) {
      if (c->kind == Kind::kGood) continue;
      std::printf("  %-27s sent %llu bytes, %s\n", nameOf(c->kind),
                  static_cast<unsigned long long>(c->bytesSent),
                  c->cutOff ? "cut off by the server" : "closed by itself");
    }
  }
  ::close(report[0]);
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}

}  // namespace epollserver

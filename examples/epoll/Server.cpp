#include "Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace epollserver {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// Command statuses of the negative acknowledgements.
constexpr int kStatusMalformed = 1;
constexpr int kStatusUnknownCommand = 3;

std::string lastError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// The fields of ServerReport in the order of its line.
struct Field {
  const char* name;
  std::uint64_t ServerReport::*member;
};
constexpr Field kFields[] = {
    {"accepted", &ServerReport::accepted},
    {"closed_cleanly", &ServerReport::closedCleanly},
    {"cut_framing", &ServerReport::cutFraming},
    {"cut_stalled", &ServerReport::cutStalled},
    {"cut_expired", &ServerReport::cutExpired},
    {"cut_mid_pdu", &ServerReport::cutMidPdu},
    {"closed_by_error", &ServerReport::closedByError},
    {"open_at_stop", &ServerReport::openAtStop},
    {"answered", &ServerReport::answered},
    {"refused", &ServerReport::refused},
    {"reports_sent", &ServerReport::reportsSent},
    {"reports_answered", &ServerReport::reportsAnswered},
    {"reports_expired", &ServerReport::reportsExpired},
    {"reports_cancelled", &ServerReport::reportsCancelled},
    {"stray_responses", &ServerReport::strayResponses},
    {"peak_held", &ServerReport::peakHeld},
    {"peak_connection_held", &ServerReport::peakConnectionHeld},
    {"max_resident_kib", &ServerReport::maxResidentKiB},
};

}  // namespace

bool responsePairs(std::uint32_t responseId, std::uint32_t requestId) {
  return responseId == (requestId | 0x80000000u);
}

std::string ServerReport::format() const {
  std::string line;
  for (const Field& field : kFields) {
    if (!line.empty()) line += ' ';
    line += std::string(field.name) + "=" + std::to_string(this->*field.member);
  }
  return line;
}

bool ServerReport::parse(const std::string& line, ServerReport& report) {
  std::istringstream in(line);
  std::string pair;
  std::size_t found = 0;
  while (in >> pair) {
    const std::size_t eq = pair.find('=');
    if (eq == std::string::npos) return false;
    for (const Field& field : kFields) {
      if (pair.compare(0, eq, field.name) != 0 || std::strlen(field.name) != eq) continue;
      report.*field.member = std::stoull(pair.substr(eq + 1));
      ++found;
    }
  }
  return found == std::size(kFields);
}

struct Server::Connection {
  enum class End { kNone, kClean, kFraming, kStalled, kExpired, kMidPdu, kError };

  Connection(int socket, const ServerLimits& limits)
      : fd(socket), endpoint(responsePairs, limits.reportsInFlight, limits.maxFrameLength) {
    report.sender = "server";
    report.text = "delivered";
  }

  int fd;
  orvelpdu::Endpoint endpoint;
  textmsg::SubmitTextResp response;  // reused for every answer
  textmsg::SubmitText report;        // reused for every report
  bool reading = true;
  bool registered = false;
  std::uint32_t interest = 0;  // the epoll events registered
  Clock::time_point lastProgress;
  int expired = 0;
  End end = End::kNone;
};

Server::Server(const ServerLimits& limits) : limits_(limits), readBuffer_(kReadChunk) {}

Server::~Server() {
  for (auto& [fd, c] : connections_) ::close(fd);
  if (epollFd_ >= 0) ::close(epollFd_);
  if (listenFd_ >= 0) ::close(listenFd_);
}

bool Server::listen(std::uint16_t port, std::string& error) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    error = lastError("socket");
    return false;
  }
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t size = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listenFd_, SOMAXCONN) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    error = lastError("listen");
    return false;
  }
  port_ = ntohs(address.sin_port);
  return true;
}

bool Server::run(int stopFd, std::string& error) {
  epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
  if (epollFd_ < 0) {
    error = lastError("epoll_create1");
    return false;
  }
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = listenFd_;
  if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, listenFd_, &event) != 0) {
    error = lastError("epoll_ctl");
    return false;
  }
  if (stopFd >= 0) {
    event.data.fd = stopFd;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, stopFd, &event);
  }
  std::vector<epoll_event> ready(256);
  for (;;) {
    now_ = Clock::now();
    const int wait = tick();
    const int n = ::epoll_wait(epollFd_, ready.data(), static_cast<int>(ready.size()), wait);
    if (n < 0 && errno != EINTR) {
      error = lastError("epoll_wait");
      return false;
    }
    now_ = Clock::now();
    for (int i = 0; i < n; ++i) {
      const int fd = ready[static_cast<std::size_t>(i)].data.fd;
      if (fd == stopFd) {
        for (auto it = connections_.begin(); it != connections_.end();) {
          Connection& c = *(it++)->second;
          close(c);
        }
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        report_.maxResidentKiB = static_cast<std::uint64_t>(usage.ru_maxrss);
        return true;
      }
      if (fd == listenFd_) {
        accept();
        continue;
      }
      const auto found = connections_.find(fd);
      if (found != connections_.end())
        serve(*found->second, ready[static_cast<std::size_t>(i)].events);
    }
    noteHeld();
  }
}

void Server::accept() {
  for (;;) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    // A bounded send buffer keeps what the kernel holds for a peer that does not read small.
    const int sendBuffer = 64 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    auto connection = std::make_unique<Connection>(fd, limits_);
    Connection& c = *connection;
    c.lastProgress = now_;
    c.endpoint.onRequest<textmsg::SubmitText>([this, &c](textmsg::SubmitText& request) {
      answer(c, request.getSequenceNumber(), request.reportWanted.hasValue() != 0);
    });
    c.endpoint.onResponse<textmsg::SubmitTextResp>(
        [this](textmsg::SubmitTextResp&, const orvelpdu::OutstandingRequest&) {
          ++report_.reportsAnswered;
        });
    c.endpoint.onError(
        [this, &c](const orvelpdu::HeaderFields& header, const orvelpdu::Result& why) {
          if (why.outcome() == orvelpdu::Outcome::kFramingError) return;  // receive() says so
          const bool unknown = why.outcome() == orvelpdu::Outcome::kUnknownCommandId;
          refuse(c, header.fieldsRead == 4 ? header.sequenceNumber : 0,
                 unknown ? kStatusUnknownCommand : kStatusMalformed);
        });
    c.endpoint.onStray([this](const orvelpdu::HeaderFields&, orvelpdu::ResponseMatch) {
      ++report_.strayResponses;
    });
    c.endpoint.onExpired([this, &c](const orvelpdu::OutstandingRequest&) {
      ++report_.reportsExpired;
      if (++c.expired >= limits_.expiriesToCutOff) c.end = Connection::End::kExpired;
    });
    c.endpoint.onCancelled(
        [this](const orvelpdu::OutstandingRequest&) { ++report_.reportsCancelled; });
    connections_.emplace(fd, std::move(connection));
    ++report_.accepted;
    watch(c);
  }
}

void Server::answer(Connection& c, int sequenceNumber, bool wantsReport) {
  // The report goes first, so that a client holding its last answer holds every report too.
  if (wantsReport && c.endpoint.sendRequest(c.report, now_ + limits_.reportTimeout).ok()) {
    ++report_.reportsSent;
  }
  char id[16];
  std::snprintf(id, sizeof id, "m%d", sequenceNumber);
  c.response.setSequenceNumber(sequenceNumber);
  c.response.setCommandStatus(0);
  c.response.messageId = id;
  if (c.endpoint.send(c.response).ok()) ++report_.answered;
}

void Server::refuse(Connection& c, std::uint32_t sequenceNumber, int status) {
  c.response.setSequenceNumber(static_cast<int>(sequenceNumber));
  c.response.setCommandStatus(status);
  c.response.messageId = "";
  if (c.endpoint.send(c.response).ok()) ++report_.refused;
}

void Server::serve(Connection& c, std::uint32_t events) {
  // A hang-up or error is read even while paused: the read reports how the connection ended.
  if (((events & EPOLLIN) != 0 && c.reading) || (events & (EPOLLHUP | EPOLLERR)) != 0) {
    readFrom(c);
  }
  if (c.end == Connection::End::kNone) flush(c);
  if (c.end != Connection::End::kNone) {
    close(c);
    return;
  }
  watch(c);
}

void Server::readFrom(Connection& c) {
  const ssize_t n = ::recv(c.fd, readBuffer_.data(), readBuffer_.size(), 0);
  if (n > 0) {
    if (!c.endpoint.receive(readBuffer_.data(), static_cast<std::size_t>(n))) {
      c.end = Connection::End::kFraming;
    }
    return;
  }
  if (n == 0) {
    c.end = c.endpoint.buffered() > 0 ? Connection::End::kMidPdu : Connection::End::kClean;
    return;
  }
  if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) c.end = Connection::End::kError;
}

void Server::flush(Connection& c) {
  while (c.endpoint.pendingSize() > 0) {
    const ssize_t n = ::send(c.fd, c.endpoint.pending(), c.endpoint.pendingSize(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        c.end = Connection::End::kError;
      break;
    }
    c.endpoint.consumePending(static_cast<std::size_t>(n));
    c.lastProgress = now_;
  }
  if (c.endpoint.pendingSize() == 0) c.lastProgress = now_;
  // Back pressure: a peer that does not read its answers is not read from either.
  if (c.endpoint.pendingSize() > limits_.pauseReadingAbove) c.reading = false;
  if (c.endpoint.pendingSize() < limits_.resumeReadingBelow) c.reading = true;
}

void Server::watch(Connection& c) {
  std::uint32_t wanted = 0;
  if (c.reading) wanted |= EPOLLIN;
  if (c.endpoint.pendingSize() > 0) wanted |= EPOLLOUT;
  if (wanted == c.interest) return;
  epoll_event event{};
  event.events = wanted;
  event.data.fd = c.fd;
  ::epoll_ctl(epollFd_, c.registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, c.fd, &event);
  c.registered = true;
  c.interest = wanted;
}

int Server::tick() {
  auto wait = std::chrono::milliseconds(1000);
  std::vector<Connection*> ending;
  for (auto& [fd, connection] : connections_) {
    Connection& c = *connection;
    c.endpoint.expire(now_);
    if (c.endpoint.pendingSize() > 0 && now_ - c.lastProgress >= limits_.stallTimeout) {
      c.end = Connection::End::kStalled;
    }
    if (c.end != Connection::End::kNone) {
      ending.push_back(&c);
      continue;
    }
    flush(c);  // a report sent by an expiry handler, none now; the back pressure state
    watch(c);
    orvelpdu::Endpoint::TimePoint deadline;
    if (c.endpoint.nextDeadline(deadline)) {
      wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(deadline - now_));
    }
    if (c.endpoint.pendingSize() > 0) {
      wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(
                                c.lastProgress + limits_.stallTimeout - now_));
    }
  }
  for (Connection* c : ending) close(*c);
  return static_cast<int>(std::max<long long>(0, wait.count()));
}

void Server::close(Connection& c) {
  switch (c.end) {
    case Connection::End::kClean:
      ++report_.closedCleanly;
      break;
    case Connection::End::kNone:
      ++report_.openAtStop;
      break;
    case Connection::End::kFraming:
      ++report_.cutFraming;
      break;
    case Connection::End::kStalled:
      ++report_.cutStalled;
      break;
    case Connection::End::kExpired:
      ++report_.cutExpired;
      break;
    case Connection::End::kMidPdu:
      ++report_.cutMidPdu;
      break;
    case Connection::End::kError:
      ++report_.closedByError;
      break;
  }
  c.endpoint.cancelAll();
  ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, c.fd, nullptr);
  const int fd = c.fd;
  ::close(fd);
  connections_.erase(fd);
}

void Server::noteHeld() {
  std::uint64_t total = 0;
  for (const auto& [fd, c] : connections_) {
    const std::uint64_t held = c->endpoint.buffered() + c->endpoint.pendingSize();
    report_.peakConnectionHeld = std::max(report_.peakConnectionHeld, held);
    total += held;
  }
  report_.peakHeld = std::max(report_.peakHeld, total);
}

}  // namespace epollserver

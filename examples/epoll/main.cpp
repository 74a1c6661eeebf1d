// epoll_exchange: the single-threaded epoll server of the example protocol.
//
//   epoll_exchange serve [--port N]
//       serves on 127.0.0.1:N (default: a free port, printed) until interrupted
//   epoll_exchange test [--clients N] [--requests N] [--deadline SECONDS]
//       runs the server in a child process under N good clients (100) of N requests each
//       (100) and four bad peers, checks what both sides saw, and exits 0 when it passed
//
//   epoll_exchange --help
//       the usage
//
// Every option takes a decimal integer within its range. Exit status: 0 success, 1 a failed
// run, 2 bad arguments.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LoadTest.h"
#include "Server.h"
#include "common/Options.h"
#include "common/Printable.h"

namespace {

using textmsg::Range;

const char kUsage[] =
    "usage: epoll_exchange serve [--port N]\n"
    "       epoll_exchange test [--clients N] [--requests N] [--deadline SECONDS]\n"
    "       epoll_exchange --help\n"
    "Every option takes a decimal integer within its range.\n";

constexpr Range kPort{"--port", 0, 65535};
constexpr Range kClients{"--clients", 1, 900};
constexpr Range kRequests{"--requests", 1, 1000000};
constexpr Range kDeadline{"--deadline", 1, 3600};

// Refuses the command line: the reason, then the usage; the exit status 2.
int refuse(const std::string& why) {
  std::fprintf(stderr, "epoll_exchange: %s\n", why.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

// The value of the option at argv[i] (one of `ranges`), moving `i` past it; false with `why`.
bool option(int argc, char** argv, int& i, const Range* const* ranges, const Range*& which,
            std::uint64_t& value, std::string& why) {
  which = nullptr;
  for (const Range* const* r = ranges; *r != nullptr; ++r) {
    if (std::strcmp(argv[i], (*r)->name) == 0) which = *r;
  }
  if (which == nullptr) {
    why = "unknown option \"" + textmsg::printable(std::string(argv[i])) + "\"";
    return false;
  }
  if (i + 1 >= argc) {
    why = std::string(which->name) + " lacks its value";
    return false;
  }
  return textmsg::parseInteger(argv[++i], *which, value, why);
}

int serve(int argc, char** argv) {
  const Range* const ranges[] = {&kPort, nullptr};
  std::uint64_t port = 0;
  for (int i = 2; i < argc; ++i) {
    const Range* which = nullptr;
    std::string why;
    if (!option(argc, argv, i, ranges, which, port, why)) return refuse(why);
  }
  epollserver::Server server;
  std::string error;
  if (!server.listen(static_cast<std::uint16_t>(port), error)) {
    std::fprintf(stderr, "epoll_exchange: %s\n", error.c_str());
    return 1;
  }
  std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.port()));
  std::fflush(stdout);
  if (!server.run(-1, error)) {
    std::fprintf(stderr, "epoll_exchange: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int test(int argc, char** argv) {
  const Range* const ranges[] = {&kClients, &kRequests, &kDeadline, nullptr};
  epollserver::LoadOptions options;
  for (int i = 2; i < argc; ++i) {
    const Range* which = nullptr;
    std::uint64_t value = 0;
    std::string why;
    if (!option(argc, argv, i, ranges, which, value, why)) return refuse(why);
    if (which == &kClients) options.clients = static_cast<int>(value);
    if (which == &kRequests) options.requests = static_cast<int>(value);
    if (which == &kDeadline) options.deadline = static_cast<double>(value);
  }
  return epollserver::runLoadTest(options);
}

}  // namespace

int main(int argc, char** argv) {
  if (textmsg::asksForHelp(argc, argv, 1)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "serve") == 0) return serve(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "test") == 0) return test(argc, argv);
  return refuse(argc >= 2 ? "unknown command \"" + textmsg::printable(std::string(argv[1])) + "\""
                          : "a command is needed");
}

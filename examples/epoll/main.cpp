// epoll_exchange: the single-threaded epoll server of the example protocol.
//
//   epoll_exchange serve [--port N]
//       serves on 127.0.0.1:N (default: a free port, printed) until interrupted
//   epoll_exchange test [--clients N] [--requests N] [--deadline SECONDS]
//       runs the server in a child process under N good clients (100) of N requests each
//       (100) and four bad peers, checks what both sides saw, and exits 0 when it passed
//
// Exit status: 0 success, 1 a failed run, 2 bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LoadTest.h"
#include "Server.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: epoll_exchange serve [--port N]\n"
               "       epoll_exchange test [--clients N] [--requests N] [--deadline SECONDS]\n");
  return 2;
}

// The number after `option`, or false when it is missing or not a number in [low, high].
bool number(int argc, char** argv, int& i, double low, double high, double& out) {
  if (i + 1 >= argc) return false;
  char* end = nullptr;
  out = std::strtod(argv[++i], &end);
  return end != argv[i] && *end == '\0' && out >= low && out <= high;
}

int serve(int argc, char** argv) {
  double port = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") != 0 || !number(argc, argv, i, 0, 65535, port)) {
      return usage();
    }
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
  epollserver::LoadOptions options;
  for (int i = 2; i < argc; ++i) {
    double value = 0;
    if (std::strcmp(argv[i], "--clients") == 0 && number(argc, argv, i, 1, 900, value)) {
      options.clients = static_cast<int>(value);
    } else if (std::strcmp(argv[i], "--requests") == 0 &&
               number(argc, argv, i, 1, 1000000, value)) {
      options.requests = static_cast<int>(value);
    } else if (std::strcmp(argv[i], "--deadline") == 0 && number(argc, argv, i, 1, 3600, value)) {
      options.deadline = value;
    } else {
      return usage();
    }
  }
  return epollserver::runLoadTest(options);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "serve") == 0) return serve(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "test") == 0) return test(argc, argv);
  return usage();
}

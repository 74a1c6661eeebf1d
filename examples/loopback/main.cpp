// The loopback exchange from the command line.
//
//   loopback [options]              client and server in this process (the default)
//   loopback server [options]       listens on 127.0.0.1, prints the port, serves one client
//   loopback client PORT [options]  sends the requests to a server on 127.0.0.1:PORT
//
// Options: --count N (requests, default 20000), --seed S (default 1), --deadline SECONDS
// (default 10), --chunk BYTES (largest read or write, default 4096). Prints one line of
// results; exit status 0 when every request was answered exactly once, 1 otherwise, 2 for
// bad arguments.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Exchange.h"
#include "LibraryCodec.h"

namespace {

bool parseOptions(int argc, char** argv, int first, loopback::ExchangeOptions& options) {
  for (int i = first; i < argc; i += 2) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    const double value = std::strtod(argv[i + 1], &end);
    if (*end != '\0' || value <= 0) return false;
    if (name == "--count") {
      options.count = static_cast<std::uint32_t>(value);
    } else if (name == "--seed") {
      options.seed = static_cast<std::uint32_t>(value);
    } else if (name == "--deadline") {
      options.deadlineSeconds = value;
    } else if (name == "--chunk") {
      options.largestChunk = static_cast<std::size_t>(value);
    } else {
      return false;
    }
  }
  return true;
}

int finish(const char* role, const loopback::ExchangeReport& report) {
  if (!report.ok) {
    std::fprintf(stderr, "loopback %s: FAILED: %s\n", role, report.error.c_str());
    return 1;
  }
  std::printf("loopback %s: %zu requests sent, %zu served, %zu answered and paired", role,
              report.sent, report.served, report.answered);
  if (report.seconds > 0) {
    std::printf(" in %.3f s (%.0f PDUs per second each way)", report.seconds,
                static_cast<double>(report.answered) / report.seconds);
  }
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  loopback::ExchangeOptions options;
  const std::string mode = argc > 1 && argv[1][0] != '-' ? argv[1] : "both";
  if (mode == "server") {
    if (!parseOptions(argc, argv, 2, options)) return 2;
    std::uint16_t port = 0;
    std::string error;
    const int listening = loopback::listenLoopback(port, error);
    if (listening < 0) {
      std::fprintf(stderr, "loopback server: %s\n", error.c_str());
      return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", port);
    std::fflush(stdout);
    loopback::LibraryServer server;
    return finish("server", loopback::serveOne(listening, server, options));
  }
  if (mode == "client") {
    if (argc < 3 || !parseOptions(argc, argv, 3, options)) return 2;
    loopback::LibraryClient client;
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[2]));
    return finish("client", loopback::runClient(port, client, options));
  }
  if (mode != "both" || !parseOptions(argc, argv, 1, options)) return 2;
  loopback::LibraryClient client;
  loopback::LibraryServer server;
  return finish("exchange", loopback::runExchange(client, server, options));
}

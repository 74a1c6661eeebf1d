// The loopback exchange from the command line.
//
//   loopback_exchange [options]              client and server in this process (the default)
//   loopback_exchange server [options]       listens on 127.0.0.1, prints the port, serves one
//                                            client
//   loopback_exchange client PORT [options]  sends the requests to a server on 127.0.0.1:PORT
//   loopback_exchange --help                 the usage
//
// Every option takes a decimal integer within its range, and so does PORT; anything else (a
// fraction, an exponent, a sign, trailing text, a value out of range, an unknown option or a
// missing value) is refused with a message before anything runs. Prints one line of results;
// exit status 0 when every request was answered exactly once, 1 otherwise, 2 for bad
// arguments.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

#include "Exchange.h"
#include "LibraryCodec.h"
#include "common/Options.h"
#include "common/Printable.h"

namespace {

const char kUsage[] =
    "usage: loopback_exchange [OPTION VALUE]...              client and server in this process\n"
    "       loopback_exchange server [OPTION VALUE]...       listen on 127.0.0.1, print the\n"
    "                                                        port, serve one client\n"
    "       loopback_exchange client PORT [OPTION VALUE]...  send the requests to a server on\n"
    "                                                        127.0.0.1:PORT (1 to 65535)\n"
    "       loopback_exchange --help                         this text\n"
    "options, each a decimal integer:\n"
    "  --count N       requests to send, 1 to 4294967295 (default 20000)\n"
    "  --seed S        request content and read/write sizes, 0 to 4294967295 (default 1)\n"
    "  --deadline S    seconds for the whole exchange, 1 to 86400 (default 10)\n"
    "  --chunk B       largest read or write in bytes, 1 to 1048576 (default 4096)\n"
    "exit status: 0 when every request was answered exactly once, 1 otherwise, 2 for bad\n"
    "arguments\n";

constexpr std::uint64_t kMaxUint32 = 0xFFFFFFFFu;

using textmsg::parseInteger;
using textmsg::Range;

constexpr Range kCount{"--count", 1, kMaxUint32};
constexpr Range kSeed{"--seed", 0, kMaxUint32};
constexpr Range kDeadline{"--deadline", 1, 86400};
constexpr Range kChunk{"--chunk", 1, 1 << 20};
constexpr Range kPort{"PORT", 1, 65535};

// Refuses the command line: the reason, then the usage. Returns the exit status, 2.
int refuse(const std::string& why) {
  std::fprintf(stderr, "loopback_exchange: %s\n", why.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

// Reads the options from argv[first] on into `options`; false with `why` on the first that
// is unknown, lacks its value or has one out of its range.
bool parseOptions(int argc, char** argv, int first, loopback::ExchangeOptions& options,
                  std::string& why) {
  for (int i = first; i < argc; i += 2) {
    const std::string name = argv[i];
    const Range* range = name == kCount.name      ? &kCount
                         : name == kSeed.name     ? &kSeed
                         : name == kDeadline.name ? &kDeadline
                         : name == kChunk.name    ? &kChunk
                                                  : nullptr;
    if (range == nullptr) {
      why = "unknown option \"" + textmsg::printable(name) + "\"";
      return false;
    }
    if (i + 1 >= argc) {
      why = name + " lacks its value";
      return false;
    }
    std::uint64_t value = 0;
    if (!parseInteger(argv[i + 1], *range, value, why)) return false;
    if (range == &kCount) options.count = static_cast<std::uint32_t>(value);
    if (range == &kSeed) options.seed = static_cast<std::uint32_t>(value);
    if (range == &kDeadline) options.deadlineSeconds = static_cast<double>(value);
    if (range == &kChunk) options.largestChunk = static_cast<std::size_t>(value);
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

int runServer(int argc, char** argv) {
  loopback::ExchangeOptions options;
  std::string why;
  if (!parseOptions(argc, argv, 2, options, why)) return refuse(why);
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

int runClient(int argc, char** argv) {
  if (argc < 3) return refuse("client wants the server's PORT");
  loopback::ExchangeOptions options;
  std::uint64_t port = 0;
  std::string why;
  if (!parseInteger(argv[2], kPort, port, why) || !parseOptions(argc, argv, 3, options, why)) {
    return refuse(why);
  }
  loopback::LibraryClient client;
  return finish("client", loopback::runClient(static_cast<std::uint16_t>(port), client, options));
}

}  // namespace

int main(int argc, char** argv) {
  if (textmsg::asksForHelp(argc, argv, 1)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string mode = argc > 1 && argv[1][0] != '-' ? argv[1] : "both";
  if (mode == "server") return runServer(argc, argv);
  if (mode == "client") return runClient(argc, argv);
  if (mode != "both") return refuse("unknown mode \"" + textmsg::printable(mode) + "\"");
  loopback::ExchangeOptions options;
  std::string why;
  if (!parseOptions(argc, argv, 1, options, why)) return refuse(why);
  loopback::LibraryClient client;
  loopback::LibraryServer server;
  return finish("exchange", loopback::runExchange(client, server, options));
}

// The loopback exchange's own checks must catch what they exist for: a server that answers
// the wrong request, a corrupted or misframed stream, a missing answer.
#include <gtest/gtest.h>

#include <string>

#include "Exchange.h"
#include "LibraryCodec.h"

namespace {

using loopback::Bytes;
using loopback::ExchangeOptions;
using loopback::LibraryClient;
using loopback::LibraryServer;

// Serves through the library's server, then tampers with the answers.
class TamperingServer : public loopback::ServerSide {
 public:
  enum class Fault { kNone, kFlipByte, kBadLength, kDropAnswer, kDuplicateAnswer };
  explicit TamperingServer(Fault fault) : fault_(fault) {}
  bool serve(const std::uint8_t* data, std::size_t size, Bytes& out, std::string& error) override {
    const std::size_t before = out.size();
    if (!inner_.serve(data, size, out, error)) return false;
    if (out.size() == before || done_ || inner_.served() < 50) return true;
    done_ = true;
    switch (fault_) {
      case Fault::kNone:
        break;
      case Fault::kFlipByte:
        out.back() ^= 0x01;  // the NUL that ends the last answer's message id
        break;
      case Fault::kBadLength:
        out[before] = 0xFF;
        break;
      case Fault::kDropAnswer:
        out.resize(before);
        break;
      case Fault::kDuplicateAnswer:
        out.insert(out.end(), out.begin() + static_cast<long>(before), out.end());
        break;
    }
    return true;
  }
  std::size_t served() const override { return inner_.served(); }

 private:
  LibraryServer inner_;
  Fault fault_;
  bool done_ = false;
};

ExchangeOptions small() {
  ExchangeOptions options;
  options.count = 200;
  options.seed = 7;
  // Generous, for runs under valgrind; a sound exchange ends long before.
  options.deadlineSeconds = 60;
  options.largestChunk = 300;
  return options;
}

TEST(Loopback, AnExchangeAnswersAndPairsEveryRequest) {
  LibraryClient client;
  TamperingServer server(TamperingServer::Fault::kNone);
  const auto report = loopback::runExchange(client, server, small());
  ASSERT_TRUE(report.ok) << report.error;
  EXPECT_EQ(200u, report.sent);
  EXPECT_EQ(200u, report.served);
  EXPECT_EQ(200u, report.answered);
  EXPECT_NE(0, report.port);
}

TEST(Loopback, TamperedAnswersAreCaught) {
  struct Case {
    TamperingServer::Fault fault;
    std::string error;  // what the report must mention
  } cases[] = {
      {TamperingServer::Fault::kFlipByte, "client: malformed PDU: message_id: NUL missing"},
      {TamperingServer::Fault::kBadLength, "framing error"},
      {TamperingServer::Fault::kDropAnswer, "client: deadline passed"},
      {TamperingServer::Fault::kDuplicateAnswer, "pairs with no outstanding request"},
  };
  for (const Case& c : cases) {
    LibraryClient client;
    TamperingServer server(c.fault);
    ExchangeOptions options = small();
    // A dropped answer leaves the client waiting for it: it is found at the deadline.
    if (c.fault == TamperingServer::Fault::kDropAnswer) options.deadlineSeconds = 1;
    const auto report = loopback::runExchange(client, server, options);
    EXPECT_FALSE(report.ok) << static_cast<int>(c.fault);
    EXPECT_NE(std::string::npos, report.error.find(c.error))
        << static_cast<int>(c.fault) << ": " << report.error;
  }
}

TEST(Loopback, RequestsAreTheSameForTheSameSeed) {
  const auto a = loopback::makeRequest(3, 17);
  const auto b = loopback::makeRequest(3, 17);
  const auto c = loopback::makeRequest(4, 17);
  EXPECT_EQ(a.text, b.text);
  EXPECT_EQ(a.recipients, b.recipients);
  EXPECT_NE(a.sender + a.text, c.sender + c.text);
}

}  // namespace

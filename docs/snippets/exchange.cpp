// Exchanges (the guide "Exchanges"): a client and a server endpoint joined in memory. The
// client sends Notify requests tracked in its window; the server answers each with a
// NotifyResp carrying the request's sequence number; one request is left unanswered and
// expires on the caller's clock; a PDU of an unknown command id is refused with its reason.
#include <chrono>
#include <cstdint>
#include <string>

#include "Check.h"
#include "Notify.h"

// [response]
class NotifyResp : public orvelpdu::DescribedPDU<NotifyResp> {
 public:
  static constexpr std::uint32_t kCommandId = 0x80000102u;
  CString id;
  template <class V>
  void describe(V& v) {
    v.cstring("id", id, 32);
  }
};

// The protocol's rule, which the library cannot know: a response's command id is its
// request's with the top bit set.
bool answers(std::uint32_t responseId, std::uint32_t requestId) {
  return responseId == (requestId | 0x80000000u);
}
// [response]

namespace {

using Clock = std::chrono::steady_clock;

// Moves the bytes `from` has to send into `to`, as a socket between them would.
void carry(orvelpdu::Endpoint& from, orvelpdu::Endpoint& to) {
  to.receive(from.pending(), from.pendingSize());
  from.consumePending(from.pendingSize());
}

}  // namespace

int main() {
  // [server]
  orvelpdu::Endpoint server(answers, 16);
  NotifyResp answer;
  bool silent = false;  // when set, the server leaves requests unanswered
  server.onRequest<Notify>([&](Notify& request, const orvelpdu::HeaderFields& header) {
    if (silent) return;
    answer.setSequenceNumber(static_cast<int>(header.sequenceNumber));
    answer.id = ("n-" + std::to_string(header.sequenceNumber)).c_str();
    (void)server.send(answer);  // the bytes wait in server.pending()
    (void)request;
  });
  std::string refusal;
  server.onError([&](const orvelpdu::HeaderFields& header, const orvelpdu::Result& why) {
    // A negative acknowledgement would carry header.sequenceNumber.
    refusal = std::to_string(header.sequenceNumber) + ": " + why.reason();
  });
  // [server]

  // [client]
  orvelpdu::Endpoint client(answers, 16);
  int answered = 0;
  int expired = 0;
  client.onResponse<NotifyResp>(
      [&](NotifyResp& response, const orvelpdu::OutstandingRequest& request) {
        ++answered;
        snippets::check(response.id == ("n-" + std::to_string(request.sequenceNumber)).c_str(),
                        "the answer names its request");
      });
  client.onExpired([&](const orvelpdu::OutstandingRequest&) { ++expired; });

  const Clock::time_point now = Clock::now();
  Notify notify;
  notify.text = "disk almost full";
  for (int i = 0; i < 3; ++i) {
    if (!client.sendRequest(notify, now + std::chrono::seconds(5))) return 1;
  }
  carry(client, server);  // the socket loop's write and the peer's read
  carry(server, client);
  // [client]
  snippets::check(answered == 3 && client.window().outstanding() == 0, "three answers paired");

  // [expiry]
  silent = true;
  (void)client.sendRequest(notify, now + std::chrono::seconds(5));
  carry(client, server);
  client.expire(now + std::chrono::seconds(6));  // the time is the caller's
  // [expiry]
  snippets::check(expired == 1, "the unanswered request expired");

  // A PDU of a command id the server does not know: refused, with the fields it could read.
  CIPByteBuffer unknown;
  unknown.appendInt(16);
  unknown.appendInt(0x77);
  unknown.appendInt(0);
  unknown.appendInt(42);
  server.receive(unknown.getBuffer(), unknown.getLength());
  snippets::check(refusal.rfind("42: ", 0) == 0, "the refusal carries the sequence number");
  return 0;
}

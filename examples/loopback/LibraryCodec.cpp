#include "LibraryCodec.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "common/Printable.h"

namespace loopback {
namespace {

CString stringOf(const std::string& s) {
  CString out;
  std::memcpy(out.GetBuffer(static_cast<int>(s.size())), s.data(), s.size());
  out.ReleaseBuffer(static_cast<int>(s.size()));
  return out;
}

bool answers(std::uint32_t responseId, std::uint32_t requestId) {
  return responseId == textmsg::SubmitTextResp::kCommandId &&
         requestId == textmsg::SubmitText::kCommandId;
}

// Hands the endpoint's bytes to write over to `out`.
void takePending(orvelpdu::Endpoint& endpoint, Bytes& out) {
  out.insert(out.end(), endpoint.pending(), endpoint.pending() + endpoint.pendingSize());
  endpoint.consumePending(endpoint.pendingSize());
}

// What an error handler reports: the reason, and a framing error by its own name.
std::string describeError(const orvelpdu::Result& why) {
  if (why.outcome() == orvelpdu::Outcome::kFramingError) return "framing error: " + why.reason();
  return "malformed PDU: " + why.reason();
}

// The exchange's clock is its own deadline; requests are never expired one by one.
orvelpdu::Endpoint::TimePoint farDeadline() {
  return std::chrono::steady_clock::now() + std::chrono::hours(24);
}

}  // namespace

LibraryClient::LibraryClient() : endpoint_(answers, kWindow) {
  endpoint_.onResponse<textmsg::SubmitTextResp>(
      [this](textmsg::SubmitTextResp& response, const orvelpdu::OutstandingRequest& request) {
        if (!error_.empty()) return;
        const auto expected = expected_.find(request.sequenceNumber);
        if (expected == expected_.end() || !(response.messageId == expected->second.c_str())) {
          // The id is the peer's text, bound for the terminal: escaped and shortened.
          error_ = "response " + std::to_string(request.sequenceNumber) + " carries message id " +
                   textmsg::printable(response.messageId);
          return;
        }
        expected_.erase(expected);
        ++answered_;
      });
  endpoint_.onStray([this](const orvelpdu::HeaderFields& header, orvelpdu::ResponseMatch) {
    if (error_.empty()) {
      error_ = "a response pairs with no outstanding request (sequence number " +
               std::to_string(header.sequenceNumber) + ")";
    }
  });
  endpoint_.onError([this](const orvelpdu::HeaderFields&, const orvelpdu::Result& why) {
    if (error_.empty()) error_ = describeError(why);
  });
}

void LibraryClient::encodeRequest(const RequestContent& content, Bytes& out) {
  textmsg::SubmitText request;
  request.sender = stringOf(content.sender);
  for (const auto& [type, address] : content.recipients) {
    request.recipients.add(textmsg::Recipient(type, address.c_str()));
  }
  request.priority = content.priority;
  request.validitySeconds = content.validitySeconds;
  request.text = stringOf(content.text);
  if (content.hasReference) request.reference.setValue(content.reference);
  if (content.hasCallback) request.callback.setValue(stringOf(content.callback));
  if (content.reportWanted) request.reportWanted.setValue(0);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (endpoint_.window().outstanding() < kWindow || !error_.empty()) {
        if (!endpoint_.sendRequest(request, farDeadline())) return;
        const auto sequence = static_cast<std::uint32_t>(request.getSequenceNumber());
        expected_[sequence] = messageIdFor(request.getSequenceNumber(), content.text.size(),
                                           content.recipients.size());
        takePending(endpoint_, out);
        return;
      }
    }
    // The window is full: the reading thread frees a place with every answer.
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

bool LibraryClient::receive(const std::uint8_t* data, std::size_t size, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoint_.receive(data, size);
  if (error_.empty()) return true;
  error = error_;
  return false;
}

std::size_t LibraryClient::outstanding() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return expected_.size();
}

LibraryServer::LibraryServer() : endpoint_(answers, 1) {
  endpoint_.onRequest<textmsg::SubmitText>(
      [this](textmsg::SubmitText& request, const orvelpdu::HeaderFields& header) {
        response_.setSequenceNumber(static_cast<int>(header.sequenceNumber));
        // The id names what the server received, so the client can tell it was its request.
        response_.messageId = messageIdFor(request.getSequenceNumber(),
                                           static_cast<std::size_t>(request.text.GetLength()),
                                           static_cast<std::size_t>(request.recipients.getCount()))
                                  .c_str();
        const orvelpdu::Result sent = endpoint_.send(response_);
        if (!sent && error_.empty()) error_ = "a response does not encode: " + sent.reason();
        ++served_;
      });
  endpoint_.onError([this](const orvelpdu::HeaderFields&, const orvelpdu::Result& why) {
    if (error_.empty()) error_ = describeError(why);
  });
}

bool LibraryServer::serve(const std::uint8_t* data, std::size_t size, Bytes& out,
                          std::string& error) {
  endpoint_.receive(data, size);
  takePending(endpoint_, out);
  if (error_.empty()) return true;
  error = error_;
  return false;
}

bool LibraryServer::endOfStream(std::string& error) {
  if (endpoint_.buffered() == 0) return true;
  error = "truncated PDU: the stream ended " + std::to_string(endpoint_.buffered()) +
          " bytes into a PDU";
  return false;
}

}  // namespace loopback

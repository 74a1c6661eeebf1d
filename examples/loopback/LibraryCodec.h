// The exchange's two sides written with the library: each a thin layer over an
// orvelpdu::Endpoint, which frames the stream, parses each PDU strictly by command id and pairs
// every response with its outstanding request by sequence number. The server answers each
// SubmitText with a SubmitTextResp of the same sequence number; the client checks each answer's
// message id against the one the request asked for.
#ifndef LOOPBACK_LIBRARYCODEC_H_
#define LOOPBACK_LIBRARYCODEC_H_

#include <orvelpdu/orvelpdu.h>

#include <atomic>
#include <mutex>
#include <string>
#include <unordered_map>

#include "Exchange.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace loopback {

class LibraryClient : public ClientSide {
 public:
  // Requests in flight at most: the writer waits for answers beyond it. Above the exchange's
  // batch of unwritten requests, so that it never waits for one it has not written yet.
  static constexpr std::size_t kWindow = 1 << 16;

  LibraryClient();
  void encodeRequest(const RequestContent& content, Bytes& out) override;
  bool receive(const std::uint8_t* data, std::size_t size, std::string& error) override;
  std::size_t answered() const override { return answered_.load(); }
  std::size_t outstanding() const override;

 private:
  // The endpoint is shared by the writing and the reading thread, one at a time.
  mutable std::mutex mutex_;
  orvelpdu::Endpoint endpoint_;
  std::unordered_map<std::uint32_t, std::string> expected_;  // message id by sequence number
  std::string error_;                                        // the first fault a handler found
  std::atomic<std::size_t> answered_{0};
};

class LibraryServer : public ServerSide {
 public:
  LibraryServer();
  bool serve(const std::uint8_t* data, std::size_t size, Bytes& out, std::string& error) override;
  bool endOfStream(std::string& error) override;
  std::size_t served() const override { return served_; }

 private:
  orvelpdu::Endpoint endpoint_;
  textmsg::SubmitTextResp response_;
  std::string error_;
  std::size_t served_ = 0;
};

}  // namespace loopback

#endif  // LOOPBACK_LIBRARYCODEC_H_

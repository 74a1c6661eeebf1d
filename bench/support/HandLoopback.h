// The loopback exchange's two sides written by hand, to set beside the library's
// (examples/loopback/LibraryCodec.h): requests through the hand-written SubmitText codec, the
// response (header and a NUL-ended message id) and the stream framing written out directly,
// with the same checks the library's sides make short of re-encoding every PDU.
#ifndef ORVELPDU_BENCH_SUPPORT_HANDLOOPBACK_H_
#define ORVELPDU_BENCH_SUPPORT_HANDLOOPBACK_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "Exchange.h"
#include "support/HandCodec.h"

namespace orvelpdu::bench {

// Received bytes not yet framed, oldest first, with a read offset so that taking a PDU from
// the front costs nothing and compaction is amortised.
class HandFramer {
 public:
  void feed(const std::uint8_t* data, std::size_t size);
  // The next whole PDU in place (valid until the next feed), or null; `bad` is set when a
  // command length is outside 16 .. 1 MiB.
  const std::uint8_t* next(std::size_t& length, bool& bad);
  // Bytes received and not yet handed out.
  std::size_t held() const { return bytes_.size() - start_; }

 private:
  loopback::Bytes bytes_;
  std::size_t start_ = 0;
};

class HandClient : public loopback::ClientSide {
 public:
  void encodeRequest(const loopback::RequestContent& content, loopback::Bytes& out) override;
  bool receive(const std::uint8_t* data, std::size_t size, std::string& error) override;
  std::size_t answered() const override { return answered_.load(); }
  std::size_t outstanding() const override;

 private:
  std::int32_t nextSequence_ = 1;
  handcodec::SubmitText request_;
  HandFramer framer_;
  mutable std::mutex mutex_;
  std::map<std::int32_t, std::string> expected_;
  std::atomic<std::size_t> answered_{0};
};

class HandServer : public loopback::ServerSide {
 public:
  bool serve(const std::uint8_t* data, std::size_t size, loopback::Bytes& out,
             std::string& error) override;
  bool endOfStream(std::string& error) override;
  std::size_t served() const override { return served_; }

 private:
  HandFramer framer_;
  handcodec::SubmitText request_;
  std::size_t served_ = 0;
};

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_HANDLOOPBACK_H_

// The exchange's two sides written with the library, as a receiver should use it: the byte
// stream is split by a PDUFramer, each PDU parsed by the example protocol's strict setData,
// and every PDU checked to encode back to exactly the bytes received. The server answers each
// SubmitText with a SubmitTextResp of the same sequence number; the client pairs every answer
// with its outstanding request by sequence number and expected message id.
#ifndef LOOPBACK_LIBRARYCODEC_H_
#define LOOPBACK_LIBRARYCODEC_H_

#include <orvelpdu/orvelpdu.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "Exchange.h"

namespace loopback {

class LibraryClient : public ClientSide {
 public:
  // Without `verify`, PDUs are parsed but not re-encoded and compared (for timing).
  explicit LibraryClient(bool verify = true) : verify_(verify) {}
  void encodeRequest(const RequestContent& content, Bytes& out) override;
  bool receive(const std::uint8_t* data, std::size_t size, std::string& error) override;
  std::size_t answered() const override { return answered_.load(); }
  std::size_t outstanding() const override;

 private:
  bool verify_;
  // The writing thread's.
  CIPByteBuffer request_;
  // The reading thread's.
  orvelpdu::PDUFramer framer_;
  CIPByteBuffer pdu_;
  CIPByteBuffer encoded_;
  mutable std::mutex mutex_;
  std::map<int, std::string> expected_;  // message id by sequence number, while outstanding
  std::atomic<std::size_t> answered_{0};
};

class LibraryServer : public ServerSide {
 public:
  explicit LibraryServer(bool verify = true) : verify_(verify) {}
  bool serve(const std::uint8_t* data, std::size_t size, Bytes& out, std::string& error) override;
  bool endOfStream(std::string& error) override;
  std::size_t served() const override { return served_; }

 private:
  bool verify_;
  orvelpdu::PDUFramer framer_;
  CIPByteBuffer pdu_;
  CIPByteBuffer encoded_;
  std::size_t served_ = 0;
};

}  // namespace loopback

#endif  // LOOPBACK_LIBRARYCODEC_H_

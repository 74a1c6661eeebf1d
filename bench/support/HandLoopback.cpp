#include "support/HandLoopback.h"

#include <cstring>

namespace orvelpdu::bench {
namespace {

constexpr std::size_t kHeader = 16;
constexpr std::size_t kMaxFrame = 1 << 20;
constexpr std::uint32_t kResponseId = 0x80000021u;

std::uint32_t get32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

void put32(loopback::Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

void HandFramer::feed(const std::uint8_t* data, std::size_t size) {
  if (start_ > 0 && start_ >= bytes_.size() - start_) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<long>(start_));
    start_ = 0;
  }
  bytes_.insert(bytes_.end(), data, data + size);
}

const std::uint8_t* HandFramer::next(std::size_t& length, bool& bad) {
  bad = false;
  const std::size_t held = bytes_.size() - start_;
  if (held < 4) return nullptr;
  length = get32(bytes_.data() + start_);
  if (length < kHeader || length > kMaxFrame) {
    bad = true;
    return nullptr;
  }
  if (held < length) return nullptr;
  const std::uint8_t* pdu = bytes_.data() + start_;
  start_ += length;
  return pdu;
}

void HandClient::encodeRequest(const loopback::RequestContent& content, loopback::Bytes& out) {
  handcodec::SubmitText& m = request_;
  m.sequenceNumber = nextSequence_++;
  m.sender = content.sender;
  m.recipients.resize(content.recipients.size());
  for (std::size_t i = 0; i < content.recipients.size(); ++i) {
    m.recipients[i].type = content.recipients[i].first;
    m.recipients[i].address = content.recipients[i].second;
  }
  m.priority = content.priority;
  m.validitySeconds = content.validitySeconds;
  m.text = content.text;
  m.hasReference = content.hasReference;
  m.reference = content.reference;
  m.hasCallback = content.hasCallback;
  m.callback = content.callback;
  m.reportWanted = content.reportWanted;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    expected_[m.sequenceNumber] =
        loopback::messageIdFor(m.sequenceNumber, content.text.size(), content.recipients.size());
  }
  const std::size_t at = out.size();
  out.resize(at + handcodec::encodedSize(m));
  out.resize(at + handcodec::encode(m, out.data() + at));
}

bool HandClient::receive(const std::uint8_t* data, std::size_t size, std::string& error) {
  framer_.feed(data, size);
  std::size_t length = 0;
  bool bad = false;
  while (const std::uint8_t* pdu = framer_.next(length, bad)) {
    const void* nul = std::memchr(pdu + kHeader, 0, length - kHeader);
    if (get32(pdu + 4) != kResponseId || length == kHeader || nul == nullptr ||
        static_cast<const std::uint8_t*>(nul) != pdu + length - 1) {
      error = "malformed response";
      return false;
    }
    const auto sequence = static_cast<std::int32_t>(get32(pdu + 12));
    std::lock_guard<std::mutex> lock(mutex_);
    const auto request = expected_.find(sequence);
    if (request == expected_.end() ||
        request->second != reinterpret_cast<const char*>(pdu + kHeader)) {
      error = "a response pairs with no outstanding request";
      return false;
    }
    expected_.erase(request);
    ++answered_;
  }
  if (bad) error = "framing error";
  return !bad;
}

std::size_t HandClient::outstanding() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return expected_.size();
}

bool HandServer::serve(const std::uint8_t* data, std::size_t size, loopback::Bytes& out,
                       std::string& error) {
  framer_.feed(data, size);
  std::size_t length = 0;
  bool bad = false;
  while (const std::uint8_t* pdu = framer_.next(length, bad)) {
    std::size_t consumed = 0;
    if (const char* why = handcodec::parse(pdu, length, request_, consumed)) {
      error = std::string("malformed request: ") + why;
      return false;
    }
    const std::string id = loopback::messageIdFor(request_.sequenceNumber, request_.text.size(),
                                                  request_.recipients.size());
    put32(out, static_cast<std::uint32_t>(kHeader + id.size() + 1));
    put32(out, kResponseId);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(request_.sequenceNumber));
    out.insert(out.end(), id.begin(), id.end());
    out.push_back(0);
    ++served_;
  }
  if (bad) error = "framing error";
  return !bad;
}

bool HandServer::endOfStream(std::string& error) {
  if (framer_.held() == 0) return true;
  error = "truncated PDU";
  return false;
}

}  // namespace orvelpdu::bench

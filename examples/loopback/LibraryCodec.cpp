#include "LibraryCodec.h"

#include <cstring>

#include "common/Printable.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace loopback {
namespace {

CString stringOf(const std::string& s) {
  CString out;
  std::memcpy(out.GetBuffer(static_cast<int>(s.size())), s.data(), s.size());
  out.ReleaseBuffer(static_cast<int>(s.size()));
  return out;
}

void append(const CIPByteBuffer& b, Bytes& out) {
  out.insert(out.end(), b.getBuffer(), b.getBuffer() + b.getLength());
}

bool sameBytes(const CIPByteBuffer& a, const CIPByteBuffer& b) {
  return a.getLength() == b.getLength() &&
         std::memcmp(a.getBuffer(), b.getBuffer(), a.getLength()) == 0;
}

// Parses the framed PDU in `frame` into `pdu` and checks that it encodes back to the same
// bytes; `frame` is consumed either way.
template <class Pdu>
bool parseAndCheck(CIPByteBuffer& frame, Pdu& pdu, bool verify, CIPByteBuffer& scratch,
                   std::string& error) {
  CIPByteBuffer received;
  if (verify) received = frame;
  if (pdu.setData(frame) == 0) {
    error = "malformed PDU: " + pdu.result().reason();
    return false;
  }
  if (!verify) return true;
  scratch.empty();
  if (pdu.getData(scratch) == 0 || !sameBytes(scratch, received)) {
    error = "a PDU does not encode back to the bytes received";
    return false;
  }
  return true;
}

std::string framingError(const orvelpdu::PDUFramer& framer) {
  return "framing error: command length " + std::to_string(framer.badLength()) +
         " at stream offset " + std::to_string(framer.badOffset());
}

// True with the next whole PDU in `pdu`. Otherwise false, with `more` true when the framer
// needs more bytes, or false and the framing error in `error`.
bool nextFrame(orvelpdu::PDUFramer& framer, CIPByteBuffer& pdu, bool& more, std::string& error) {
  const auto result = framer.next(pdu);
  more = result == orvelpdu::PDUFramer::Result::kNeedMore;
  if (result == orvelpdu::PDUFramer::Result::kFramingError) error = framingError(framer);
  return result == orvelpdu::PDUFramer::Result::kFrame;
}

}  // namespace

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
  request.assignSequenceNumber();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    expected_[request.getSequenceNumber()] =
        messageIdFor(request.getSequenceNumber(), content.text.size(), content.recipients.size());
  }
  request_.empty();
  if (request.getData(request_) == 1) append(request_, out);
}

bool LibraryClient::receive(const std::uint8_t* data, std::size_t size, std::string& error) {
  framer_.feed(data, size);
  for (;;) {
    bool more = false;
    if (!nextFrame(framer_, pdu_, more, error)) return more;
    textmsg::SubmitTextResp response;
    if (!parseAndCheck(pdu_, response, verify_, encoded_, error)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto request = expected_.find(response.getSequenceNumber());
    if (request == expected_.end()) {
      error = "a response pairs with no outstanding request (sequence number " +
              std::to_string(response.getSequenceNumber()) + ")";
      return false;
    }
    if (!(response.messageId == request->second.c_str())) {
      // The id is the peer's text, bound for the terminal: escaped and shortened.
      error = "response " + std::to_string(request->first) + " carries message id " +
              textmsg::printable(response.messageId) + ", not " + request->second;
      return false;
    }
    expected_.erase(request);
    ++answered_;
  }
}

std::size_t LibraryClient::outstanding() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return expected_.size();
}

bool LibraryServer::serve(const std::uint8_t* data, std::size_t size, Bytes& out,
                          std::string& error) {
  framer_.feed(data, size);
  for (;;) {
    bool more = false;
    if (!nextFrame(framer_, pdu_, more, error)) return more;
    textmsg::SubmitText request;
    if (!parseAndCheck(pdu_, request, verify_, encoded_, error)) return false;
    textmsg::SubmitTextResp response(request);
    // The id names what the server received, so the client can tell it was its request.
    response.messageId = messageIdFor(request.getSequenceNumber(),
                                      static_cast<std::size_t>(request.text.GetLength()),
                                      static_cast<std::size_t>(request.recipients.getCount()))
                             .c_str();
    encoded_.empty();
    if (response.getData(encoded_) == 0) {
      error = "a response does not encode: " + response.result().reason();
      return false;
    }
    append(encoded_, out);
    ++served_;
  }
}

bool LibraryServer::endOfStream(std::string& error) {
  if (framer_.buffered() == 0) return true;
  error =
      "truncated PDU: the stream ended " + std::to_string(framer_.buffered()) + " bytes into a PDU";
  return false;
}

}  // namespace loopback

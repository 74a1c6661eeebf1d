// SubmitTextResp (command id 0x80000021) answers a SubmitText: its sequence number is the
// request's, its body the message id the peer gave the message.
#ifndef TEXTMSG_SUBMITTEXTRESP_H_
#define TEXTMSG_SUBMITTEXTRESP_H_

#include <orvelpdu/orvelpdu.h>

#include <cstdint>

namespace textmsg {

class SubmitTextResp : public orvelpdu::DescribedPDU<SubmitTextResp> {
 public:
  static constexpr std::uint32_t kCommandId = 0x80000021u;
  static constexpr std::size_t kMaxMessageId = orvelpdu::kNoLimit;

  SubmitTextResp() = default;
  // The response to `request`: the same sequence number, so that equals() pairs them.
  explicit SubmitTextResp(CPDU& request) { setSequenceNumber(request.getSequenceNumber()); }

  CString messageId;

  template <class V>
  void describe(V& v) {
    v.cstring("message_id", messageId, kMaxMessageId);
  }
};

}  // namespace textmsg

#endif  // TEXTMSG_SUBMITTEXTRESP_H_

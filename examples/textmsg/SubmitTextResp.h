// SubmitTextResp (command id 0x80000021) answers a SubmitText: its sequence number is the
// request's, its body the message id the peer gave the message, a NUL-ended C-string field.
// A message id holding a NUL byte is refused when encoding (getData returns 0, error() says so).
#ifndef TEXTMSG_SUBMITTEXTRESP_H_
#define TEXTMSG_SUBMITTEXTRESP_H_

#include <orvelpdu/orvelpdu.h>

#include "Message.h"

namespace textmsg {

class SubmitTextResp : public Message {
 public:
  static constexpr int kCommandId = static_cast<int>(0x80000021u);

  SubmitTextResp();
  // The response to `request`: the same sequence number, so that equals() pairs them.
  explicit SubmitTextResp(CPDU& request);

  int getBody(CIPByteBuffer& out) override;
  int setBody(CIPByteBuffer& in) override;

  CString messageId;
};

}  // namespace textmsg

#endif  // TEXTMSG_SUBMITTEXTRESP_H_

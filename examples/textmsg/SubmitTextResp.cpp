#include "SubmitTextResp.h"

namespace textmsg {

SubmitTextResp::SubmitTextResp() : Message(kCommandId) {}

SubmitTextResp::SubmitTextResp(CPDU& request) : SubmitTextResp() {
  setSequenceNumber(request.getSequenceNumber());
}

int SubmitTextResp::getBody(CIPByteBuffer& out) {
  out.appendCString(const_cast<char*>(static_cast<const char*>(messageId)));
  out.appendByte(0);
  return 1;
}

int SubmitTextResp::setBody(CIPByteBuffer& in) { return takeCString(in, messageId, "message id"); }

}  // namespace textmsg

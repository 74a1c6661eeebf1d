#include "SubmitTextResp.h"

namespace textmsg {

SubmitTextResp::SubmitTextResp() : Message(kCommandId) {}

SubmitTextResp::SubmitTextResp(CPDU& request) : SubmitTextResp() {
  setSequenceNumber(request.getSequenceNumber());
}

int SubmitTextResp::getBody(CIPByteBuffer& out) { return putCString(out, messageId, "message id"); }

int SubmitTextResp::setBody(CIPByteBuffer& in) { return takeCString(in, messageId, "message id"); }

}  // namespace textmsg

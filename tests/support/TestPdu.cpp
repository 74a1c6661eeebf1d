#include "support/TestPdu.h"

#include "orvelpdu/base/CString.h"

namespace orvelpdu::test {

int TestPdu::setData(CIPByteBuffer& buffer) {
  setHeader(buffer);
  return setBody(buffer);
}

int TestPdu::getData(CIPByteBuffer& buffer) {
  getHeader(buffer);
  return getBody(buffer);
}

int TestPdu::setBody(CIPByteBuffer& buffer) {
  flags = buffer.removeByte();
  port = buffer.removeShort();
  amount = buffer.removeInt();
  CString text;
  buffer.removeCString(text);  // removes the ending NUL too; empty text on an empty buffer
  name = static_cast<const char*>(text);
  return 1;
}

int TestPdu::getBody(CIPByteBuffer& buffer) {
  buffer.appendByte(flags);
  buffer.appendShort(port);
  buffer.appendInt(amount);
  buffer.appendCString(name.data());
  buffer.appendByte(0);
  return 1;
}

}  // namespace orvelpdu::test

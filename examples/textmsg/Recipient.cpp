#include "Recipient.h"

namespace textmsg {

Recipient::Recipient(unsigned char type, const char* address) : type_(type), address_(address) {}

int Recipient::setData(CIPByteBuffer& buffer) {
  complete_ = buffer.getLength() >= 2;
  type_ = buffer.removeByte();
  // removeCString takes the NUL with the text; a field that ends without one was cut short.
  const unsigned int before = buffer.getLength();
  buffer.removeCString(address_);
  const unsigned int taken = before - buffer.getLength();
  complete_ = complete_ && taken == static_cast<unsigned int>(address_.GetLength()) + 1;
  return complete_ ? 1 : 0;
}

int Recipient::getData(CIPByteBuffer& buffer) {
  buffer.appendByte(type_);
  buffer.appendCString(address_);
  buffer.appendByte(0);
  return 1;
}

}  // namespace textmsg

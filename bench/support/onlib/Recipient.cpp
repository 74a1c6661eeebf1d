#include "Recipient.h"

namespace onlib {

Recipient::Recipient(unsigned char type, const char* address) : type_(type), address_(address) {}

int Recipient::setData(CIPByteBuffer& buffer) {
  complete_ = orvelpdu::takeByte(buffer, type_) && orvelpdu::takeCString(buffer, address_);
  return complete_ ? 1 : 0;
}

int Recipient::getData(CIPByteBuffer& buffer) {
  buffer.appendByte(type_);
  buffer.appendCString(address_);
  buffer.appendByte(0);
  return 1;
}

}  // namespace onlib

#include "orvelpdu/tlv/CTLVUByte.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVUByte::CTLVUByte() : CTLV(1, 1), value(0) {}

CTLVUByte::CTLVUByte(short tlvTag) : CTLV(tlvTag, 1, 1), value(0) {}

CTLVUByte::CTLVUByte(const CTLVUByte& other) = default;

CTLVUByte& CTLVUByte::operator=(const CTLVUByte& other) = default;

CTLVUByte::~CTLVUByte() = default;

int CTLVUByte::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = decodeUnsigned(buffer.removeByte());
  markValueSet();
  return 1;
}

int CTLVUByte::getValueData(CIPByteBuffer& buffer) {
  buffer.appendByte(encodeUnsigned(value));
  return 1;
}

void CTLVUByte::setValue(short newValue) {
  value = newValue;
  markValueSet();
}

short CTLVUByte::getValue() const { return value; }

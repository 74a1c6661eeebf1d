#include "orvelpdu/tlv/CTLVByte.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVByte::CTLVByte() : CTLV(1, 1), value(0) {}

CTLVByte::CTLVByte(short tlvTag) : CTLV(tlvTag, 1, 1), value(0) {}

CTLVByte::CTLVByte(short tlvTag, unsigned char initial) : CTLV(tlvTag, 1, 1), value(initial) {
  markValueSet();
}

CTLVByte::CTLVByte(const CTLVByte& other) = default;

CTLVByte& CTLVByte::operator=(const CTLVByte& other) = default;

CTLVByte::~CTLVByte() = default;

int CTLVByte::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = buffer.removeByte();
  markValueSet();
  return 1;
}

int CTLVByte::getValueData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  buffer.appendByte(value);
  return 1;
}

void CTLVByte::setValue(unsigned char newValue) {
  value = newValue;
  markValueSet();
}

unsigned char CTLVByte::getValue() const { return value; }

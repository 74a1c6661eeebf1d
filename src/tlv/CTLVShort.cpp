#include "orvelpdu/tlv/CTLVShort.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVShort::CTLVShort() : CTLV(2, 2), value(0) {}

CTLVShort::CTLVShort(short tlvTag) : CTLV(tlvTag, 2, 2), value(0) {}

CTLVShort::CTLVShort(short tlvTag, short initial) : CTLV(tlvTag, 2, 2), value(initial) {
  markValueSet();
}

CTLVShort::CTLVShort(const CTLVShort& other) = default;

CTLVShort& CTLVShort::operator=(const CTLVShort& other) = default;

CTLVShort::~CTLVShort() = default;

int CTLVShort::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = buffer.removeShort();
  markValueSet();
  return 1;
}

int CTLVShort::getValueData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  buffer.appendShort(value);
  return 1;
}

void CTLVShort::setValue(short newValue) {
  value = newValue;
  markValueSet();
}

short CTLVShort::getValue() const { return value; }

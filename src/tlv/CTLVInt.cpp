#include "orvelpdu/tlv/CTLVInt.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVInt::CTLVInt() : CTLV(4, 4), value(0) {}

CTLVInt::CTLVInt(short tlvTag) : CTLV(tlvTag, 4, 4), value(0) {}

CTLVInt::CTLVInt(short tlvTag, int initial) : CTLV(tlvTag, 4, 4), value(initial) { markValueSet(); }

CTLVInt::CTLVInt(const CTLVInt& other) = default;

CTLVInt& CTLVInt::operator=(const CTLVInt& other) = default;

CTLVInt::~CTLVInt() = default;

int CTLVInt::setValueData(CIPByteBuffer& buffer) {
  if (!checkLength(buffer)) return 0;
  value = buffer.removeInt();
  markValueSet();
  return 1;
}

int CTLVInt::getValueData(CIPByteBuffer& buffer) {
  if (!hasValue()) return 0;
  buffer.appendInt(value);
  return 1;
}

void CTLVInt::setValue(int newValue) {
  value = newValue;
  markValueSet();
}

int CTLVInt::getValue() const { return value; }

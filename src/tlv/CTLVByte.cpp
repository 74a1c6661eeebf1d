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

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

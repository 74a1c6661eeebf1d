#include "orvelpdu/tlv/CTLVInt.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVInt::CTLVInt() : CTLV(4, 4), value(0) {}

CTLVInt::CTLVInt(short tlvTag) : CTLV(tlvTag, 4, 4), value(0) {}

CTLVInt::CTLVInt(short tlvTag, int initial) : CTLV(tlvTag, 4, 4), value(initial) { markValueSet(); }

CTLVInt::CTLVInt(const CTLVInt& other) = default;

CTLVInt& CTLVInt::operator=(const CTLVInt& other) = default;

CTLVInt::~CTLVInt() = default;

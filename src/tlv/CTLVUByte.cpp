#include "orvelpdu/tlv/CTLVUByte.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVUByte::CTLVUByte() : CTLV(1, 1), value(0) {}

CTLVUByte::CTLVUByte(short tlvTag) : CTLV(tlvTag, 1, 1), value(0) {}

CTLVUByte::CTLVUByte(const CTLVUByte& other) = default;

CTLVUByte& CTLVUByte::operator=(const CTLVUByte& other) = default;

CTLVUByte::~CTLVUByte() = default;

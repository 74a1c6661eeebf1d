#include "orvelpdu/tlv/CTLVUByte.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVUByte::CTLVUByte(const CTLVUByte& other) = default;

CTLVUByte& CTLVUByte::operator=(const CTLVUByte& other) = default;

CTLVUByte::~CTLVUByte() = default;

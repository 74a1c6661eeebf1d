#include "orvelpdu/tlv/CTLVByte.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVByte::CTLVByte(const CTLVByte& other) = default;

CTLVByte& CTLVByte::operator=(const CTLVByte& other) = default;

CTLVByte::~CTLVByte() = default;

#include "orvelpdu/tlv/CTLVInt.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVInt::CTLVInt(const CTLVInt& other) = default;

CTLVInt& CTLVInt::operator=(const CTLVInt& other) = default;

CTLVInt::~CTLVInt() = default;

#include "orvelpdu/tlv/CTLVShort.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CTLVShort::CTLVShort(const CTLVShort& other) = default;

CTLVShort& CTLVShort::operator=(const CTLVShort& other) = default;

CTLVShort::~CTLVShort() = default;

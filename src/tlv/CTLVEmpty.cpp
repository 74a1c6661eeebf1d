#include "orvelpdu/tlv/CTLVEmpty.h"

CTLVEmpty::CTLVEmpty(const CTLVEmpty& other) = default;

CTLVEmpty& CTLVEmpty::operator=(const CTLVEmpty& other) = default;

CTLVEmpty::~CTLVEmpty() = default;

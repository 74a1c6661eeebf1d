#include "orvelpdu/tlv/CTLVEmpty.h"

CTLVEmpty::CTLVEmpty() : CTLV(0, 0), value(0) {}

CTLVEmpty::CTLVEmpty(short tlvTag) : CTLV(tlvTag, 0, 0), value(0) {}

CTLVEmpty::CTLVEmpty(short tlvTag, int initial) : CTLV(tlvTag, 0, 0), value(initial) {
  markValueSet();
}

CTLVEmpty::CTLVEmpty(const CTLVEmpty& other) = default;

CTLVEmpty& CTLVEmpty::operator=(const CTLVEmpty& other) = default;

CTLVEmpty::~CTLVEmpty() = default;

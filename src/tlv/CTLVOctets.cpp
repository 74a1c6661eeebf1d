#include "orvelpdu/tlv/CTLVOctets.h"

CTLVOctets::CTLVOctets(const CTLVOctets& other) = default;

CTLVOctets& CTLVOctets::operator=(const CTLVOctets& other) {
  if (&other == this) return *this;
  // The bytes first: should their copy fail, the object is left entirely as it was.
  value = other.value;
  CTLV::operator=(other);
  return *this;
}

CTLVOctets::~CTLVOctets() = default;

void CTLVOctets::setValue(CIPByteBuffer& bytes) {
  // All of the source moves: its block itself when it made that block, else a copy made
  // before anything changes.
  if (!bytes.isEmpty()) bytes.removeBytes(static_cast<int>(bytes.getLength()), value);
  markValueSet();
}

void CTLVOctets::getValue(CIPByteBuffer& out) const {
  if (hasValue()) out = value;
}

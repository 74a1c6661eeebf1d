// CTLVByte is a TLV whose value is one byte (limits 1, 1): the byte as it is on the wire.
// getValueData writes nothing and returns 0 when no value is set. The rules every fixed-width
// value follows are stated once in CTLV.h.
#ifndef ORVELPDU_TLV_CTLVBYTE_H_
#define ORVELPDU_TLV_CTLVBYTE_H_

#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLV.h"

class ORVELPDU_API CTLVByte : public CTLV {
 public:
  // Tag 0 unless given; only the constructor that takes a value marks it set.
  CTLVByte();
  explicit CTLVByte(short tlvTag);
  CTLVByte(short tlvTag, unsigned char initial);
  CTLVByte(const CTLVByte& other);
  CTLVByte& operator=(const CTLVByte& other);
  ~CTLVByte() override;

  int setValueData(CIPByteBuffer& buffer) override;
  int getValueData(CIPByteBuffer& buffer) override;

  // Stores the value and marks it set.
  void setValue(unsigned char newValue);
  unsigned char getValue() const;

 private:
  unsigned char value;
};

#endif  // ORVELPDU_TLV_CTLVBYTE_H_

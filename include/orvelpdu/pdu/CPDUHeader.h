// CPDUHeader is the fixed header that opens every PDU: four signed 32-bit fields (command
// length, command id, command status, sequence number) that travel as 16 bytes, each field
// big-endian, in that order:
//
//   offset 0   command length    offset 8   command status
//   offset 4   command id        offset 12  sequence number
//
// It is a plain value holder: it never computes, checks or corrects a field (the command
// length in particular is whatever was last set or parsed), it owns nothing, and copies are
// independent values. A default header holds 0, 0, 0 and sequence number 1.
//
// Encoding goes through the virtual getters, so a derived header decides the values it
// writes; parsing stores straight into the fields, without the virtual setters.
//
// Failure: none is reported (see setData for a short buffer).
#ifndef ORVELPDU_PDU_CPDUHEADER_H_
#define ORVELPDU_PDU_CPDUHEADER_H_

#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/export.h"

class CIPByteBuffer;

class ORVELPDU_API CPDUHeader : public CIPByteData {
 public:
  CPDUHeader();
  CPDUHeader(const CPDUHeader& other);
  CPDUHeader& operator=(const CPDUHeader& other);
  ~CPDUHeader() override;

  // Removes 16 bytes from the front of `buffer` into the four fields; bytes after them stay
  // for the body. Always 1: on a buffer shorter than 16 bytes every field from the first
  // incomplete one onward gets the fill value 0xCDCDCDCD (-842150451) and the buffer ends
  // empty, so a caller that must tell a short header from a whole one checks the length first.
  int setData(CIPByteBuffer& buffer) override;
  // Appends the 16-byte wire form of the getters' values behind what `buffer` holds. Always 1;
  // std::bad_alloc from the buffer's growth passes through unchanged.
  int getData(CIPByteBuffer& buffer) override;

  virtual int getCommandLength();
  virtual int getCommandId();
  virtual int getCommandStatus();
  virtual int getSequenceNumber();
  // Every int, negative ones included, is stored unchanged.
  virtual void setCommandLength(int value);
  virtual void setCommandId(int value);
  virtual void setCommandStatus(int value);
  virtual void setSequenceNumber(int value);

 protected:
  int commandLength;
  int commandId;
  int commandStatus;
  int sequenceNumber;
};

#endif  // ORVELPDU_PDU_CPDUHEADER_H_

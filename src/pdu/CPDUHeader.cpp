#include "orvelpdu/pdu/CPDUHeader.h"

#include "orvelpdu/buffer/CIPByteBuffer.h"

CPDUHeader::CPDUHeader() : commandLength(0), commandId(0), commandStatus(0), sequenceNumber(1) {}

// Defined here rather than in the class, so that they stay exported functions of the library.
CPDUHeader::CPDUHeader(const CPDUHeader& other) = default;
CPDUHeader& CPDUHeader::operator=(const CPDUHeader& other) = default;

CPDUHeader::~CPDUHeader() = default;

int CPDUHeader::setData(CIPByteBuffer& buffer) {
  commandLength = buffer.removeInt();
  commandId = buffer.removeInt();
  commandStatus = buffer.removeInt();
  sequenceNumber = buffer.removeInt();
  return 1;
}

int CPDUHeader::getData(CIPByteBuffer& buffer) {
  buffer.appendInt(getCommandLength());
  buffer.appendInt(getCommandId());
  buffer.appendInt(getCommandStatus());
  buffer.appendInt(getSequenceNumber());
  return 1;
}

int CPDUHeader::getCommandLength() { return commandLength; }
int CPDUHeader::getCommandId() { return commandId; }
int CPDUHeader::getCommandStatus() { return commandStatus; }
int CPDUHeader::getSequenceNumber() { return sequenceNumber; }

void CPDUHeader::setCommandLength(int value) { commandLength = value; }
void CPDUHeader::setCommandId(int value) { commandId = value; }
void CPDUHeader::setCommandStatus(int value) { commandStatus = value; }
void CPDUHeader::setSequenceNumber(int value) { sequenceNumber = value; }

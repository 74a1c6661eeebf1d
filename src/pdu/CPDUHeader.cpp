#include "orvelpdu/pdu/CPDUHeader.h"

#include <cstdint>
#include <typeinfo>
#include <utility>

#include "buffer/BufferAccess.h"
#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"

CPDUHeader::CPDUHeader() : commandLength(0), commandId(0), commandStatus(0), sequenceNumber(1) {}

// Defined here rather than in the class, so that they stay exported functions of the library.
CPDUHeader::CPDUHeader(const CPDUHeader& other) = default;
CPDUHeader& CPDUHeader::operator=(const CPDUHeader& other) = default;

CPDUHeader::~CPDUHeader() = default;

namespace {
constexpr unsigned int kWireSize = 16;
}  // namespace

// The four fields leave as one 16-byte group when more than the header is held, the common
// case (a body follows); otherwise field by field, so that a short buffer gives each missing
// field its fill value and ends empty, and an exact one ends empty as well.
int CPDUHeader::setData(CIPByteBuffer& buffer) {
  if (buffer.getLength() > kWireSize) {
    std::uint32_t fields[4];
    orvelpdu::detail::loadBig32x4(std::as_const(buffer).getBuffer(), fields);
    commandLength = static_cast<int>(fields[0]);
    commandId = static_cast<int>(fields[1]);
    commandStatus = static_cast<int>(fields[2]);
    sequenceNumber = static_cast<int>(fields[3]);
    orvelpdu::detail::BufferAccess::dropFront(buffer, kWireSize);
    return 1;
  }
  commandLength = buffer.removeInt();
  commandId = buffer.removeInt();
  commandStatus = buffer.removeInt();
  sequenceNumber = buffer.removeInt();
  return 1;
}

// The getters are called first, in field order, so that an override that throws leaves the
// buffer as it was; then one room check places the 16 bytes.
int CPDUHeader::getData(CIPByteBuffer& buffer) {
  // The getters of a header of this very class return its fields: those are read directly,
  // and only a derived header's getters are called.
  const bool plain = typeid(*this) == typeid(CPDUHeader);
  const std::uint32_t fields[] = {
      static_cast<std::uint32_t>(plain ? commandLength : getCommandLength()),
      static_cast<std::uint32_t>(plain ? commandId : getCommandId()),
      static_cast<std::uint32_t>(plain ? commandStatus : getCommandStatus()),
      static_cast<std::uint32_t>(plain ? sequenceNumber : getSequenceNumber())};
  orvelpdu::detail::storeBig32x4(orvelpdu::detail::BufferAccess::appendSpace(buffer, kWireSize),
                                 fields);
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

#include "orvelpdu/pdu/CPDU.h"

#include <atomic>
#include <climits>
#include <memory>
#include <new>

#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "pdu/HeaderBlocks.h"

unsigned char CPDU::VALID_NONE = 0;
unsigned char CPDU::VALID_HEADER = 1;
unsigned char CPDU::VALID_BODY = 2;
unsigned char CPDU::VALID_ALL = 3;
int CPDU::sequenceNumber = 0;

namespace orvelpdu::detail {

namespace {

static_assert(alignof(int) >= std::atomic_ref<int>::required_alignment,
              "the counter must be usable through std::atomic_ref<int>");

// The counter's next value, computed without signed overflow; 0 and negative values (after
// the top, or stored by a caller) restart the numbering at 1, so no number given is ever 0 or
// negative and every PDU in flight carries its own.
int successor(int current) { return current <= 0 || current == INT_MAX ? 1 : current + 1; }

// One atomic read-modify-write of the plain static counter: concurrent draws never see the
// same value. Only the counter itself is shared, so no ordering beyond it is needed.
int drawSequenceNumber() {
  std::atomic_ref<int> counter(CPDU::sequenceNumber);
  int current = counter.load(std::memory_order_relaxed);
  int next = successor(current);
  while (!counter.compare_exchange_weak(current, next, std::memory_order_relaxed)) {
    next = successor(current);
  }
  return next;
}

}  // namespace
}  // namespace orvelpdu::detail

// ---- Construction and ownership ----

CPDU::CPDU() : sequenceAssigned(0), validity(VALID_ALL), header(nullptr), owners_(nullptr) {}

CPDU::CPDU(int /*ignored*/) : CPDU() {}

CPDU::CPDU(const CPDU& other)
    : CIPByteData(other),
      sequenceAssigned(other.sequenceAssigned),
      validity(other.validity),
      header(nullptr),
      owners_(nullptr) {
  shareHeaderOf(other);
}

CPDU& CPDU::operator=(const CPDU& other) {
  if (&other == this) return *this;
  CIPByteData::operator=(other);
  sequenceAssigned = other.sequenceAssigned;
  validity = other.validity;
  // PDUs that already share one header keep it; releasing first is safe otherwise, as our
  // share can only ever destroy our own header, never the source's.
  if (header != other.header) {
    releaseHeader();
    shareHeaderOf(other);
  }
  return *this;
}

CPDU::~CPDU() { releaseHeader(); }

void CPDU::releaseHeader() {
  if (header == nullptr) return;
  CPDUHeader* released = header;
  orvelpdu::detail::HeaderOwners* share = owners_;
  header = nullptr;
  owners_ = nullptr;
  // A header and its count are made together (checkHeader), so `share` is never null here.
  if (share->count.fetch_sub(1, std::memory_order_acq_rel) > 1) return;
  // Destroyed, then unregistered, and only then is the storage released (kept for the
  // thread's next header, or freed): while the registration is pending the address cannot be
  // handed to another block, whose own registration or disposal the late _DelMemory would
  // otherwise undo.
  std::destroy_at(share);
  _DelMemory(released);
  orvelpdu::detail::releaseHeaderBlock(share);
}

void CPDU::shareHeaderOf(const CPDU& other) {
  if (other.header == nullptr) return;
  other.owners_->count.fetch_add(1, std::memory_order_relaxed);
  header = other.header;
  owners_ = other.owners_;
}

void CPDU::checkHeader() {
  if (header != nullptr) return;
  // Everything that can fail (the allocation and the registry's own) happens before the PDU
  // changes, so a failure leaves it without a header and the registry without an entry.
  void* block = orvelpdu::detail::takeHeaderBlock();
  auto* share = new (block) orvelpdu::detail::HeaderOwners;
  try {
    _AddMemory(&share->header, static_cast<int>(sizeof(CPDUHeader)), 1, nullptr);
  } catch (...) {
    std::destroy_at(share);
    orvelpdu::detail::releaseHeaderBlock(block);
    throw;
  }
  header = &share->header;
  owners_ = share;
}

// ---- Header step and hooks ----

int CPDU::getBody(CIPByteBuffer& /*buffer*/) { return 1; }
int CPDU::setBody(CIPByteBuffer& /*buffer*/) { return 1; }

int CPDU::setHeader(CIPByteBuffer& buffer) {
  ensuredHeader().setData(buffer);
  sequenceAssigned = 1;
  return 1;
}

int CPDU::getHeader(CIPByteBuffer& buffer) { return ensuredHeader().getData(buffer); }

int CPDU::getOptionalBody(CIPByteBuffer& /*buffer*/) { return 1; }
int CPDU::setOptionalBody(CIPByteBuffer& /*buffer*/) { return 1; }
void CPDU::registerOptional(CTLV* /*tlv*/) {}
void CPDU::registerExtraOptional(CTLV* /*tlv*/) {}
CTLV* CPDU::findOptional(short /*tag*/) { return nullptr; }
void CPDU::replaceExtraOptional(CTLV* /*tlv*/) {}
void CPDU::setExtraOptional(short /*tag*/, CIPByteBuffer& /*buffer*/) {}
void CPDU::setExtraOptional(CTLV* /*tlv*/) {}
CTLV* CPDU::getExtraOptional(short /*tag*/) { return nullptr; }

// ---- Field forwarders ----

int CPDU::getCommandLength() { return ensuredHeader().getCommandLength(); }

int CPDU::getCommandId() { return ensuredHeader().getCommandId(); }

int CPDU::getCommandStatus() { return ensuredHeader().getCommandStatus(); }

int CPDU::getSequenceNumber() { return ensuredHeader().getSequenceNumber(); }

void CPDU::setCommandLength(int value) { ensuredHeader().setCommandLength(value); }

void CPDU::setCommandId(int value) { ensuredHeader().setCommandId(value); }

void CPDU::setCommandStatus(int value) { ensuredHeader().setCommandStatus(value); }

void CPDU::setSequenceNumber(int value) {
  ensuredHeader().setSequenceNumber(value);
  sequenceAssigned = 1;
}

// ---- Sequence numbers ----

void CPDU::assignSequenceNumber() { assignSequenceNumber(0); }

void CPDU::assignSequenceNumber(int force) {
  if (sequenceAssigned != 0 && force == 0) return;
  // Drawn before the header exists: a number lost to a failed header creation is never
  // handed out again, which keeps numbers unique.
  const int number = orvelpdu::detail::drawSequenceNumber();
  ensuredHeader().setSequenceNumber(number);
  sequenceAssigned = 1;
}

void CPDU::resetSequenceNumber() {
  ensuredHeader().setSequenceNumber(0);
  sequenceAssigned = 0;
}

// ---- Validity and comparison ----

void CPDU::setValid(unsigned char level) { validity = level; }

unsigned char CPDU::getValid() { return validity; }

int CPDU::isValid() { return validity == VALID_ALL ? 1 : 0; }

int CPDU::isInvalid() { return validity == VALID_NONE ? 1 : 0; }

int CPDU::isHeaderValid() { return validity >= VALID_HEADER ? 1 : 0; }

int CPDU::equals(CPDU* other) {
  if (other == nullptr) return 0;
  const int theirs = other->getSequenceNumber();
  const int ours = getSequenceNumber();
  return theirs == ours ? 1 : 0;
}

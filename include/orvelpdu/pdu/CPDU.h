// CPDU is the abstract base of every protocol data unit. A concrete PDU derives from it and
// implements setData (parse) and getData (encode); CPDU supplies the header step of both
// (setHeader, getHeader), forwards the four header fields, numbers PDUs from one process-wide
// counter, records a validity level and declares the hooks through which a derived PDU
// handles its body and its optional TLV parameters. It defines no command id, status or tag.
//
// The header. A PDU has no header until the first operation that needs one calls checkHeader,
// which creates a CPDUHeader (0, 0, 0, sequence number 1) and registers it with
// _AddMemory(header, sizeof(CPDUHeader), 1, nullptr). So reading a field of a new PDU answers
// the header's default, and a PDU that never touches its header costs nothing and makes no
// registry call. A copy (copy constructor or operator=) refers to its source's very header
// object, so a later change through either PDU is seen through both; ownership is shared by
// count: the last PDU that lets a header go destroys it, then unregisters it with
// _DelMemory(same pointer value), and only then releases its storage, so that the address is
// not reused while the registration is pending. Every header is destroyed and unregistered
// exactly once. A copy of a PDU without a header has none either.
//
// Sequence numbers. assignSequenceNumber draws the counter's next value, one atomic
// read-modify-write of CPDU::sequenceNumber, and stores it in the header. Drawn numbers lie
// in 1..2147483647: after 2147483647, or when the counter holds 0 or a negative value that a
// caller stored there, the next draw gives 1. Concurrent draws on several threads never give
// the same number until the counter has gone all the way round. A PDU keeps the number it
// was given, set (setSequenceNumber) or parsed (setHeader): assignSequenceNumber() then does
// nothing, and only a non-zero argument forces a new draw.
//
// Failure: no operation reports one. std::bad_alloc from creating the header passes through
// checkHeader (and so through every operation that calls it) with the PDU still without a
// header and nothing registered. Apart from the counter, a PDU is used by one thread at a
// time, and so are the PDUs that share one header.
#ifndef ORVELPDU_PDU_CPDU_H_
#define ORVELPDU_PDU_CPDU_H_

#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/export.h"
#include "orvelpdu/pdu/CPDUHeader.h"

class CIPByteBuffer;
class CTLV;

namespace orvelpdu::detail {
struct HeaderOwners;
}  // namespace orvelpdu::detail

class ORVELPDU_API CPDU : public CIPByteData {
 public:
  // Validity levels. Modifiable: every operation reads their current values, and a new PDU
  // starts at the value VALID_ALL has when it is constructed.
  static unsigned char VALID_NONE;    // 0: isInvalid tests for it
  static unsigned char VALID_HEADER;  // 1: isHeaderValid tests for at least this level
  static unsigned char VALID_BODY;    // 2: for derived PDUs and their users
  static unsigned char VALID_ALL;     // 3: isValid tests for it
  // The counter sequence numbers are drawn from, shared by every PDU in the process; 0 at
  // load, so the first draw gives 1. Callers may store a value in it while no thread draws.
  static int sequenceNumber;

  // No header is created; the sequence number is unassigned and validity is VALID_ALL.
  CPDU();
  // The same as CPDU(): the argument is ignored.
  explicit CPDU(int ignored);
  // Copies the sequence-number flag and validity and shares the source's header.
  CPDU(const CPDU& other);
  // As the copy constructor; the header this PDU held is released (destroyed and unregistered
  // when no other PDU refers to it). Self-assignment changes nothing.
  CPDU& operator=(const CPDU& other);
  // Lets the header go (see above).
  ~CPDU() override;

  // Creates and registers the header when there is none; otherwise does nothing.
  virtual void checkHeader();

  // Body hooks that a derived PDU overrides to encode (get) or parse (set) its body. The
  // defaults leave the buffer alone and return 1; CPDU itself calls none of the hooks.
  virtual int getBody(CIPByteBuffer& buffer);
  virtual int setBody(CIPByteBuffer& buffer);

  // Removes the 16-byte header from the front of `buffer` (fill values and an empty buffer
  // when it holds fewer) and marks the sequence number as assigned, so that
  // assignSequenceNumber() keeps the received number. Always 1.
  virtual int setHeader(CIPByteBuffer& buffer);
  // Appends the 16-byte header to `buffer`. Always 1.
  virtual int getHeader(CIPByteBuffer& buffer);

 protected:
  virtual int getOptionalBody(CIPByteBuffer& buffer);
  virtual int setOptionalBody(CIPByteBuffer& buffer);
  // Parameter hooks: register, replace and set the PDU's optional TLV parameters, the
  // "extra" ones being a second kind beside those of registerOptional. The defaults neither
  // use nor keep the pointer; who owns a TLV passed in is the overriding class's decision.
  virtual void registerOptional(CTLV* tlv);
  virtual void registerExtraOptional(CTLV* tlv);
  // Look-up hook: the optional parameter with `tag`. The default answers null.
  virtual CTLV* findOptional(short tag);
  virtual void replaceExtraOptional(CTLV* tlv);
  // Parses the extra parameter `tag` from `buffer`. The default does nothing.
  virtual void setExtraOptional(short tag, CIPByteBuffer& buffer);
  virtual void setExtraOptional(CTLV* tlv);
  virtual CTLV* getExtraOptional(short tag);

 public:
  // Field forwarders: each calls checkHeader() first, so it may create the header.
  int getCommandLength();
  int getCommandId();
  int getCommandStatus();
  int getSequenceNumber();
  void setCommandLength(int value);
  void setCommandId(int value);
  void setCommandStatus(int value);
  // Also marks the sequence number as assigned.
  void setSequenceNumber(int value);

  // Draws a number for this PDU unless it already has one.
  void assignSequenceNumber();
  // With `force` non-zero, draws a new number even when this PDU has one; with 0, as above.
  void assignSequenceNumber(int force);
  // Sets the header's sequence number to 0 and marks it unassigned; the counter is untouched.
  void resetSequenceNumber();

  // Any value is accepted.
  void setValid(unsigned char level);
  unsigned char getValid();
  // 1 when validity equals VALID_ALL.
  int isValid();
  // 1 when validity equals VALID_NONE.
  int isInvalid();
  // 1 when validity is at least VALID_HEADER (by magnitude, so VALID_BODY and VALID_ALL too).
  int isHeaderValid();

  // 1 when `other` is not null and carries the same sequence number; nothing else is
  // compared. Creates either header when missing.
  int equals(CPDU* other);

 protected:
  int sequenceAssigned;  // 1 while assignSequenceNumber() must keep the header's number
  unsigned char validity;
  // The header, or null before checkHeader. Derived classes may read it and call its
  // operations; it is owned by this PDU together with the PDUs that share it, so they never
  // assign or delete it.
  CPDUHeader* header;

 private:
  // Gives up this PDU's share of the header; the last share destroys and unregisters it.
  void releaseHeader();
  // Makes this header-less PDU share `other`'s header (none when it has none).
  void shareHeaderOf(const CPDU& other);
  // checkHeader(), then the header: what every header step and field forwarder works on.
  CPDUHeader& ensuredHeader() {
    checkHeader();
    return *header;
  }

  // The storage `header` lives in, with the count of PDUs sharing it; null without a header.
  orvelpdu::detail::HeaderOwners* owners_;
};

#endif  // ORVELPDU_PDU_CPDU_H_

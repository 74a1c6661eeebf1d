// PDUs written by hand on the library (the guides "Writing a protocol" and "Receiving"): a PDU
// that seals its own command length, and a body parsed with checked reads and strict TLV
// frames, refusing what is cut short instead of reading fill values.
#include <orvelpdu/orvelpdu.h>

#include <cstring>

#include "Check.h"

// [enquire_link]
class EnquireLink : public CPDU {
 public:
  int getData(CIPByteBuffer& out) override {
    return orvelpdu::encodeSealed(*this, out,
                                  [this](CIPByteBuffer& b) {
                                    getHeader(b);
                                    b.appendInt(token);
                                    return 1;
                                  })
               ? 1
               : 0;
  }
  int setData(CIPByteBuffer& in) override {
    orvelpdu::HeaderFields h;
    if (!orvelpdu::checkHeaderFields(in, orvelpdu::LengthRule::kWithinHeld, h)) return 0;
    setHeader(in);
    return orvelpdu::takeInt(in, token) ? 1 : 0;
  }
  int token = 0;
};
// [enquire_link]

constexpr short kReference = 0x0101;

// [checked_reads]
// A body of a NUL-ended sender and optional parameters, of which one is known. False, with
// whatever was read so far, when a field is cut short or a parameter is refused.
bool parseBody(CIPByteBuffer& in, CString& sender, CTLVShort& reference) {
  if (!orvelpdu::takeCString(in, sender)) return false;  // no NUL before the end
  orvelpdu::TLVFrameHead head;
  while (orvelpdu::peekTLVFrame(in, 0, head)) {
    if (head.tag != kReference) {
      if (!orvelpdu::skipTLVFrame(in)) return false;  // unknown, and cut short
    } else if (orvelpdu::parseTLVFrame(in, reference) != orvelpdu::TLVFrameResult::kTaken) {
      return false;  // cut short, or not a 2-byte value
    }
  }
  return in.getLength() == 0;  // 1 to 3 bytes left: a frame head cut short
}
// [checked_reads]

int main() {
  EnquireLink link;
  link.token = 0x0A0B0C0D;
  link.assignSequenceNumber();
  CIPByteBuffer wire;
  snippets::check(link.getData(wire) == 1, "EnquireLink encodes");
  snippets::check(wire.getLength() == 20 && link.getCommandLength() == 20,
                  "the command length is sealed to the 20 bytes written");
  int sealed = 0;
  snippets::check(orvelpdu::peekInt(wire, 0, sealed) && sealed == 20,
                  "the header bytes carry the sealed length");
  EnquireLink back;
  snippets::check(back.setData(wire) == 1 && back.token == 0x0A0B0C0D, "EnquireLink parses back");
  snippets::check(back.getSequenceNumber() == link.getSequenceNumber(), "same sequence number");

  CIPByteBuffer shortWire;
  snippets::check(link.getData(shortWire) == 1, "EnquireLink encodes again");
  shortWire.setLength(18);  // the token cut short
  EnquireLink cut;
  snippets::check(cut.setData(shortWire) == 0, "a cut token is refused, not filled");

  // A sender, an unknown parameter, the reference: parsed; the same cut anywhere: refused.
  CIPByteBuffer body;
  body.appendCString(const_cast<char*>("alice"));
  body.appendByte(0);
  const unsigned char unknown[] = {0x02, 0x00, 0x00, 0x01, 0x55};
  const unsigned char known[] = {0x01, 0x01, 0x00, 0x02, 0x00, 0x2A};
  body.appendBytes(const_cast<unsigned char*>(unknown), sizeof unknown);
  body.appendBytes(const_cast<unsigned char*>(known), sizeof known);
  const unsigned int whole = body.getLength();
  for (unsigned int length = 0; length <= whole; ++length) {
    CIPByteBuffer in;
    in.appendBytes(body.getBuffer(), static_cast<int>(length));
    CString sender;
    CTLVShort reference;
    const bool parsed = parseBody(in, sender, reference);
    // Cut after the sender's NUL or after a whole frame, the rest is just absent.
    const bool wholeFields = length == 6 || length == 11 || length == whole;
    snippets::check(parsed == wholeFields, "only bodies ending on a field boundary parse");
    if (length == whole) {
      snippets::check(std::strcmp(sender, "alice") == 0, "the sender is read");
      snippets::check(reference.hasValue() != 0 && reference.getValue() == 42,
                      "the known parameter is read");
    }
  }
  return 0;
}

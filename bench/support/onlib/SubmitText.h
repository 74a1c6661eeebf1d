// SubmitText (command id 0x00000021) asks the peer to deliver a text message.
//
// Body, in order:
//   sender          C-string field ended by a NUL byte
//   recipients      1-byte count (at most 10), then each recipient (Recipient.h)
//   priority        1 byte
//   validity        int, seconds
//   text            2-byte length, then that many bytes
// then the optional parameters, each written only when set, recognised by tag in any order
// when parsed; unknown tags are skipped; a tag seen twice, or a value its type cannot carry as
// received (a NUL inside the callback address, bytes after the report-wanted flag), is
// malformed:
//   0x0101 reference (short)        0x0105 user data header (octets)
//   0x0102 segment count (u-byte)   0x0106 report wanted (no value)
//   0x0103 expiry (int)             0x0107 message class (byte)
//   0x0104 callback address (string)
// A sender or callback address holding a NUL byte is refused when encoding (getData returns
// 0 and error() names it), since the peer would read only the part before the NUL.
#ifndef ONLIB_SUBMITTEXT_H_
#define ONLIB_SUBMITTEXT_H_

#include <orvelpdu/orvelpdu.h>

#include "Message.h"
#include "RecipientList.h"

namespace onlib {

enum Tag : short {
  kReference = 0x0101,
  kSegmentCount = 0x0102,
  kExpiry = 0x0103,
  kCallback = 0x0104,
  kUserDataHeader = 0x0105,
  kReportWanted = 0x0106,
  kMessageClass = 0x0107,
};

class SubmitText : public Message {
 public:
  static constexpr int kCommandId = 0x00000021;

  SubmitText();

  int getBody(CIPByteBuffer& out) override;
  int setBody(CIPByteBuffer& in) override;

  CString sender;
  RecipientList recipients;
  unsigned char priority = 0;
  int validitySeconds = 0;
  CString text;  // any bytes, NULs included; at most 65,535

  CTLVShort reference{kReference};
  CTLVUByte segmentCount{kSegmentCount};
  CTLVInt expiry{kExpiry};
  CTLVString callback{kCallback};
  CTLVOctets userDataHeader{kUserDataHeader};
  CTLVEmpty reportWanted{kReportWanted};
  CTLVByte messageClass{kMessageClass};

 protected:
  int getOptionalBody(CIPByteBuffer& out) override;
  int setOptionalBody(CIPByteBuffer& in) override;
  CTLV* findOptional(short tag) override;
};

}  // namespace onlib

#endif  // ONLIB_SUBMITTEXT_H_

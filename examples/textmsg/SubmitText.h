// SubmitText (command id 0x00000021) asks the peer to deliver a text message to its
// recipients. The description below is the whole wire format: the body fields in order, then
// the optional parameters, each sent only when set and recognised by tag in any order.
#ifndef TEXTMSG_SUBMITTEXT_H_
#define TEXTMSG_SUBMITTEXT_H_

#include <orvelpdu/orvelpdu.h>

#include <cstdint>

#include "RecipientList.h"

namespace textmsg {

enum Tag : std::uint16_t {
  kReference = 0x0101,
  kSegmentCount = 0x0102,
  kExpiry = 0x0103,
  kCallback = 0x0104,
  kUserDataHeader = 0x0105,
  kReportWanted = 0x0106,
  kMessageClass = 0x0107,
};

class SubmitText : public orvelpdu::DescribedPDU<SubmitText> {
 public:
  static constexpr std::uint32_t kCommandId = 0x00000021;
  static constexpr std::size_t kMaxSender = orvelpdu::kNoLimit;
  static constexpr std::size_t kMaxText = 65535;

  CString sender;
  RecipientList recipients;
  unsigned char priority = 0;
  int validitySeconds = 0;
  CString text;  // any bytes, NULs included

  CTLVShort reference;
  CTLVUByte segmentCount;
  CTLVInt expiry;
  CTLVString callback;
  CTLVOctets userDataHeader;
  CTLVEmpty reportWanted;
  CTLVByte messageClass;

  template <class V>
  void describe(V& v) {
    using orvelpdu::param;
    v.cstring("sender", sender, kMaxSender);
    v.list("recipients", recipients);
    v.field("priority", priority);
    v.field("validity", validitySeconds);
    v.prefixed("text", orvelpdu::Width::k2, text, kMaxText);
    v.parameters(param("reference", kReference, reference),
                 param("segment_count", kSegmentCount, segmentCount),
                 param("expiry", kExpiry, expiry), param("callback", kCallback, callback),
                 param("user_data_header", kUserDataHeader, userDataHeader),
                 param("report_wanted", kReportWanted, reportWanted),
                 param("message_class", kMessageClass, messageClass));
  }
};

}  // namespace textmsg

#endif  // TEXTMSG_SUBMITTEXT_H_

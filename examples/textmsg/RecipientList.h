// The recipients of a SubmitText: a 1-byte count, at most kMaxRecipients entries.
#ifndef TEXTMSG_RECIPIENTLIST_H_
#define TEXTMSG_RECIPIENTLIST_H_

#include <orvelpdu/orvelpdu.h>

#include "Recipient.h"

namespace textmsg {

class RecipientList : public orvelpdu::DescribedList<Recipient, orvelpdu::Width::k1, 10> {
 public:
  static constexpr int kMaxRecipients = kMax;
};

}  // namespace textmsg

#endif  // TEXTMSG_RECIPIENTLIST_H_

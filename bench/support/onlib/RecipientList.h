// The recipients of a SubmitText: a counted list with a 1-byte count and at most
// kMaxRecipients entries. The list owns its Recipient items.
#ifndef ONLIB_RECIPIENTLIST_H_
#define ONLIB_RECIPIENTLIST_H_

#include <orvelpdu/orvelpdu.h>

#include "Recipient.h"

namespace onlib {

class RecipientList : public CIPByteDataList {
 public:
  static constexpr int kMaxRecipients = 10;

  RecipientList();

  // Adds a copy of `recipient`; 0 when the list is full.
  int add(const Recipient& recipient);
  // REQUIRES: 0 <= index < getCount().
  const Recipient& at(int index);

 protected:
  CIPByteData* createValue() override;
};

}  // namespace onlib

#endif  // ONLIB_RECIPIENTLIST_H_

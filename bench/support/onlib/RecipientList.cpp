#include "RecipientList.h"

#include <memory>

namespace onlib {

RecipientList::RecipientList() : CIPByteDataList(kMaxRecipients, BYTE_SIZE) {}

int RecipientList::add(const Recipient& recipient) {
  auto item = std::make_unique<Recipient>(recipient);
  if (addValue(item.get()) == 0) return 0;
  item.release();  // the list owns it now
  return 1;
}

const Recipient& RecipientList::at(int index) { return *static_cast<Recipient*>(getValue(index)); }

CIPByteData* RecipientList::createValue() { return new Recipient; }

}  // namespace onlib

// DescribedList is the counted list field of a description: a count of `W` bytes (unsigned)
// and at most `Max` items of the described type `Item`, each encoded and parsed through its
// own description. As a CheckedList (and so a CIPByteDataList) it owns its items, shares them
// between copies and keeps every ownership rule of the original list; parseChecked and the
// original setData/getData work on it as on any list.
//
//   orvelpdu::DescribedList<Recipient, orvelpdu::Width::k1, 10> recipients;
//   ... v.list("recipients", recipients);
#ifndef ORVELPDU_DESCRIBE_DESCRIBEDLIST_H_
#define ORVELPDU_DESCRIBE_DESCRIBEDLIST_H_

#include <memory>

#include "orvelpdu/data/CheckedList.h"
#include "orvelpdu/describe/Fields.h"

namespace orvelpdu {

template <class Item, Width W, int Max>
class DescribedList : public CheckedList {
  static_assert(Max >= 0, "a list's maximum is a count");

 public:
  using ItemType = Item;
  static constexpr Width kWidth = W;
  static constexpr int kMax = Max;

  DescribedList() : CheckedList(Max, static_cast<int>(W)) {}

  // REQUIRES: 0 <= index < getCount().
  Item& at(int index) { return *static_cast<Item*>(getValue(index)); }
  const Item& at(int index) const {
    return *static_cast<Item*>(const_cast<DescribedList*>(this)->getValue(index));
  }
  // Appends a copy of `item`: false, changing nothing, when the list holds Max items.
  bool add(const Item& item) {
    if (getCount() >= Max) return false;
    auto copy = std::make_unique<Item>(item);
    if (addValue(copy.get()) == 0) return false;
    copy.release();
    return true;
  }

 protected:
  CIPByteData* createValue() override { return new Item; }
};

}  // namespace orvelpdu

#endif  // ORVELPDU_DESCRIBE_DESCRIBEDLIST_H_

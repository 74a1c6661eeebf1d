// CheckedList is a counted list whose parse a receiver can trust: CIPByteDataList::setData
// takes up to the count it reads and ignores what its items report, so a list cut short, or
// one whose items refused their bytes, parses "successfully". parseChecked refuses both and
// says where. Hand-written lists derive from it instead of CIPByteDataList and keep its
// encoding, ownership and factory unchanged.
#ifndef ORVELPDU_DATA_CHECKEDLIST_H_
#define ORVELPDU_DATA_CHECKEDLIST_H_

#include <cstddef>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/data/CIPByteDataList.h"
#include "orvelpdu/export.h"

class CIPByteBuffer;

namespace orvelpdu {

class ORVELPDU_API CheckedList : public CIPByteDataList {
 public:
  // REQUIRES: widthOfCount is BYTE_SIZE, SHORT_SIZE or INT_SIZE; 0 <= maximumItems.
  CheckedList(int maximumItems, int widthOfCount);

  // Parses the list at the front of `in`: the count, which must be whole and at most the
  // maximum (kCutShort or kOverLimit of field "count"), then exactly that many items, each
  // made by createValue and filled by its setData, which must answer 1 (kItemRefused) and
  // take at least one byte (kNothingConsumed); such a failure's field is "[i]" for item i.
  // The list is emptied first. On success the list's bytes are removed from `in`; on failure
  // nothing is removed and the list holds the items accepted before the failing one. Work is
  // proportional to the bytes held, whatever the count says.
  [[nodiscard]] Result parseChecked(CIPByteBuffer& in);

  // Makes room for `count` items in all, so that adding up to that many allocates once; a
  // parser that read a count passes it capped by the bytes it holds (each item takes at least
  // one), never the count alone. Throws std::bad_alloc with the list unchanged.
  void reserveItems(std::size_t count);

  int maximum() const { return maximum_; }
  int countWidth() const { return width_; }

 private:
  int maximum_;
  int width_;
};

}  // namespace orvelpdu

#endif  // ORVELPDU_DATA_CHECKEDLIST_H_

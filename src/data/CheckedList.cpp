#include "orvelpdu/data/CheckedList.h"

#include <algorithm>
#include <string>

#include "buffer/BufferAccess.h"
#include "data/ListAccess.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/buffer/CheckedReads.h"

namespace orvelpdu {
namespace {

// The count field of `width` bytes; false when it is not whole.
bool takeCount(CIPByteBuffer& in, int width, long long& count) {
  if (width == 1) {
    unsigned char c = 0;
    if (!takeByte(in, c)) return false;
    count = c;
  } else if (width == 2) {
    unsigned short c = 0;
    if (!takeShort(in, c)) return false;
    count = c;
  } else {
    unsigned int c = 0;
    if (!takeInt(in, c)) return false;
    count = c;
  }
  return true;
}

std::string itemName(long long index) { return "[" + std::to_string(index) + "]"; }

}  // namespace

CheckedList::CheckedList(int maximumItems, int widthOfCount)
    : CIPByteDataList(maximumItems, widthOfCount), maximum_(maximumItems), width_(widthOfCount) {}

void CheckedList::reserveItems(std::size_t count) { detail::ListAccess::reserve(*this, count); }

Result CheckedList::parseChecked(CIPByteBuffer& in) {
  resetValues();
  // Items parse from a view of `in`, so that a failure leaves `in` whole.
  CIPByteBuffer view;
  detail::BufferAccess::lendFront(in, static_cast<int>(in.getLength()), view);
  long long count = 0;
  if (!takeCount(view, width_, count)) return Result(Outcome::kCutShort, "count");
  if (count > maximum_) {
    return Result(Outcome::kOverLimit, "count",
                  std::to_string(count) + ", at most " + std::to_string(maximum_));
  }
  // Every item takes at least one byte, so the bytes held bound the storage, whatever the
  // count claims.
  reserveItems(static_cast<std::size_t>(std::min<long long>(count, view.getLength())));
  for (long long i = 0; i < count; ++i) {
    CIPByteData* item = createValue();
    if (item == nullptr) return Result(Outcome::kItemRefused, itemName(i), "no item was made");
    const unsigned int before = view.getLength();
    int taken = 0;
    try {
      taken = item->setData(view);
      if (taken != 0 && view.getLength() < before) {
        addValue(item);
        continue;
      }
    } catch (...) {
      // Not in the list (its setData or the list's storage failed): nobody else disposes of it.
      destroyValue(item);
      throw;
    }
    destroyValue(item);
    return Result(taken == 0 ? Outcome::kItemRefused : Outcome::kNothingConsumed, itemName(i));
  }
  in.removeBytes0(static_cast<int>(in.getLength() - view.getLength()));
  return Result();
}

}  // namespace orvelpdu

#include "orvelpdu/data/CheckedList.h"

#include <string>

#include "buffer/BufferAccess.h"
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
  for (long long i = 0; i < count; ++i) {
    CIPByteData* item = createValue();
    if (item == nullptr) return Result(Outcome::kItemRefused, itemName(i), "no item was made");
    const unsigned int before = view.getLength();
    int taken = 0;
    try {
      taken = item->setData(view);
    } catch (...) {
      destroyValue(item);
      throw;
    }
    const bool consumed = view.getLength() < before;
    if (taken == 0 || !consumed) {
      destroyValue(item);
      return Result(taken == 0 ? Outcome::kItemRefused : Outcome::kNothingConsumed, itemName(i));
    }
    addValue(item);
  }
  in.removeBytes0(static_cast<int>(in.getLength() - view.getLength()));
  return Result();
}

}  // namespace orvelpdu

#include "orvelpdu/data/CIPByteDataList.h"

#include <algorithm>
#include <atomic>
#include <cstddef>

#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"

const unsigned char CIPByteDataList::BYTE_SIZE = 1;
const unsigned char CIPByteDataList::SHORT_SIZE = 2;
const unsigned char CIPByteDataList::INT_SIZE = 4;

namespace orvelpdu::detail {
namespace {

// The largest counts the unsigned count fields can carry.
constexpr int kMaxByteCount = 255;
constexpr int kMaxShortCount = 65535;
// The most item slots setData reserves before it has parsed any item.
constexpr int kReserveLimit = 256;

// The hold count of an entry's item, read or published by one atomic step: copies of one
// source list may be made on several threads at once, and each of them may be the first to
// make an item countable.
std::atomic_ref<std::atomic<long>*> holdersOf(const ListEntry& entry) {
  return std::atomic_ref<std::atomic<long>*>(entry.holders);
}

static_assert(alignof(std::atomic<long>*) >=
                  std::atomic_ref<std::atomic<long>*>::required_alignment,
              "an entry's count pointer must be usable through std::atomic_ref");

// A list of entries holding every item of `source` too, in order. Items that only one list
// has held so far get their count first; should that fail, no hold has been taken, and a
// count already published only stands for the one list holding it. Several threads may do
// this for one source at once: the first count published for an item is the one all use.
std::vector<ListEntry> share(const std::vector<ListEntry>& source) {
  std::vector<ListEntry> copy;
  copy.reserve(source.size());
  for (const ListEntry& entry : source) {
    std::atomic<long>* counted = holdersOf(entry).load(std::memory_order_acquire);
    if (counted != nullptr) continue;
    auto* made = new std::atomic<long>(1);
    // acq_rel: a copier that finds the count another published must see it constructed.
    if (!holdersOf(entry).compare_exchange_strong(counted, made, std::memory_order_acq_rel)) {
      delete made;
    }
  }
  for (const ListEntry& entry : source) {
    std::atomic<long>* counted = holdersOf(entry).load(std::memory_order_acquire);
    // The source holds the item throughout, so the count cannot reach zero meanwhile.
    counted->fetch_add(1, std::memory_order_relaxed);
    copy.push_back(ListEntry{entry.item, counted});
  }
  return copy;
}

}  // namespace
}  // namespace orvelpdu::detail

using orvelpdu::detail::ListEntry;

// ---- Construction, copying, destruction ----

CIPByteDataList::CIPByteDataList() : CIPByteDataList(0, INT_SIZE) {}

CIPByteDataList::CIPByteDataList(int maximum, int width)
    : items(), maximumCount(maximum), countWidth(width) {}

CIPByteDataList::CIPByteDataList(const CIPByteDataList& other)
    : CIPByteData(other),
      items(orvelpdu::detail::share(other.items)),
      maximumCount(other.maximumCount),
      countWidth(other.countWidth) {}

CIPByteDataList& CIPByteDataList::operator=(const CIPByteDataList& other) {
  if (&other == this) return *this;
  // The new sequence is copied and held before the old one is let go of, so that items held
  // by both lists never see their count reach zero, and a failed copy changes nothing.
  std::vector<ListEntry> shared = orvelpdu::detail::share(other.items);
  items.swap(shared);
  maximumCount = other.maximumCount;
  countWidth = other.countWidth;
  for (const ListEntry& entry : shared) release(entry, true);
  return *this;
}

CIPByteDataList::~CIPByteDataList() {
  for (const ListEntry& entry : items) release(entry, false);
}

// ---- Items ----

void CIPByteDataList::release(const ListEntry& entry, bool virtualDispose) {
  // acq_rel: the holder that disposes of the item must see every write made through the
  // other holders, which may have let go on other threads.
  if (entry.holders != nullptr) {
    if (entry.holders->fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    delete entry.holders;
  }
  CIPByteData* item = entry.item;
  if (virtualDispose) {
    destroyValue(item);
  } else {
    CIPByteDataList::destroyValue(item);
  }
}

void CIPByteDataList::destroyValue(CIPByteData*& item) {
  if (item == nullptr) return;
  void* const address = item;
  delete item;
  _DelMemory(address);
  item = nullptr;
}

int CIPByteDataList::getCount() const { return static_cast<int>(items.size()); }

int CIPByteDataList::addValue(CIPByteData* item) {
  if (item == nullptr || getCount() >= maximumCount) return 0;
  // push_back changes nothing when it throws: the list stays as it was, the item the caller's.
  items.push_back(ListEntry{item, nullptr});
  return 1;
}

CIPByteData* CIPByteDataList::getValue(int index) {
  if (index < 0 || index >= getCount()) return nullptr;
  return items[static_cast<size_t>(index)].item;
}

void CIPByteDataList::resetValues() {
  for (const ListEntry& entry : items) release(entry, true);
  items.clear();
}

// ---- Serialisation ----

int CIPByteDataList::removeCount(CIPByteBuffer& buffer) const {
  if (countWidth == BYTE_SIZE) return decodeUnsigned(buffer.removeByte());
  if (countWidth == SHORT_SIZE) return decodeUnsigned(buffer.removeShort());
  if (countWidth == INT_SIZE) return buffer.removeInt();
  return 0;
}

int CIPByteDataList::setData(CIPByteBuffer& buffer) {
  resetValues();
  const int count = removeCount(buffer);
  // Storage for the items up front, so that a short list takes one allocation rather than
  // one per doubling. Only as many as the list may keep and the input could hold, and never
  // more than kReserveLimit: a count that overstates the input reserves little, and a long
  // list grows geometrically from there.
  const int expected = std::min(
      {count, maximumCount, static_cast<int>(buffer.getLength()), orvelpdu::detail::kReserveLimit});
  if (expected > 0) items.reserve(static_cast<size_t>(expected));
  // The count alone never drives the loop: a position that finds no bytes ends it, and so
  // does an item that fails or takes no bytes (see below). Null factory results take no
  // bytes either, yet the next position reads what they left; they may number at most the
  // bytes held once the count is read. So the work stays proportional to the input whatever
  // the count says, while items that take their bytes and succeed are never cut short.
  long long skipsLeft = buffer.getLength();
  for (int position = 0; position < count && !buffer.isEmpty(); ++position) {
    const unsigned int before = buffer.getLength();
    CIPByteData* item = createValue();
    if (item == nullptr) {
      if (--skipsLeft < 0) break;
      continue;
    }
    int result = 0;
    bool kept = false;
    try {
      result = item->setData(buffer);
      kept = addValue(item) == 1;
    } catch (...) {
      // Not yet in the list, so nobody else would ever dispose of it.
      destroyValue(item);
      throw;
    }
    if (!kept) destroyValue(item);
    // The next position would start where this item stopped making sense of the bytes, or,
    // when it took none, see exactly what it saw. And an item's refusal may cost a scan of
    // every byte held (a text looking for its NUL), so going on would cost the held bytes
    // once per remaining position.
    if (result == 0 || buffer.getLength() >= before) break;
  }
  return 1;
}

int CIPByteDataList::getData(CIPByteBuffer& buffer) {
  const int count = getCount();
  if (countWidth == BYTE_SIZE) {
    if (count > orvelpdu::detail::kMaxByteCount) return 0;
    buffer.appendByte(encodeUnsigned(static_cast<short>(count)));
  } else if (countWidth == SHORT_SIZE) {
    if (count > orvelpdu::detail::kMaxShortCount) return 0;
    buffer.appendShort(encodeUnsigned(count));
  } else if (countWidth == INT_SIZE) {
    buffer.appendInt(count);
  }
  for (const ListEntry& entry : items) entry.item->getData(buffer);
  return 1;
}

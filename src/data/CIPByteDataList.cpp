#include "orvelpdu/data/CIPByteDataList.h"

#include <algorithm>
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

// Makes `copy`, an entry-for-entry copy of `source`, hold every item of `source` too. Items
// that only `source` has held so far get their count first, all of them before anything else
// changes, so that a failed allocation leaves both sequences as they were.
void share(const std::vector<ListEntry>& source, std::vector<ListEntry>& copy) {
  std::size_t made = 0;
  try {
    for (; made < copy.size(); ++made) {
      if (copy[made].holders == nullptr) copy[made].holders = new std::atomic<long>(1);
    }
  } catch (...) {
    for (std::size_t i = 0; i < made; ++i) {
      if (source[i].holders == nullptr) delete copy[i].holders;
    }
    throw;
  }
  for (std::size_t i = 0; i < copy.size(); ++i) {
    source[i].holders = copy[i].holders;
    copy[i].holders->fetch_add(1, std::memory_order_relaxed);
  }
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
      items(other.items),
      maximumCount(other.maximumCount),
      countWidth(other.countWidth) {
  orvelpdu::detail::share(other.items, items);
}

CIPByteDataList& CIPByteDataList::operator=(const CIPByteDataList& other) {
  if (&other == this) return *this;
  // The new sequence is copied and held before the old one is let go of, so that items held
  // by both lists never see their count reach zero, and a failed copy changes nothing.
  std::vector<ListEntry> shared(other.items);
  orvelpdu::detail::share(other.items, shared);
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
  // The count alone never drives the loop: a position that finds no bytes ends it, so a
  // count read from missing bytes, or one that overstates the input, creates nothing.
  for (int position = 0; position < count && !buffer.isEmpty(); ++position) {
    CIPByteData* item = createValue();
    if (item == nullptr) continue;
    try {
      item->setData(buffer);
      if (addValue(item) == 1) continue;
    } catch (...) {
      // Not yet in the list, so nobody else would ever dispose of it.
      destroyValue(item);
      throw;
    }
    destroyValue(item);
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

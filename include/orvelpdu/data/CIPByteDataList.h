// CIPByteDataList is a counted list of CIPByteData items: on the wire, a count followed by the
// items' own wire forms back to back, with no separator, padding or per-item length.
//
// Wire form of the count, chosen by the count width given at construction:
//   BYTE_SIZE   1 byte,  unsigned 0..255
//   SHORT_SIZE  2 bytes, unsigned 0..65535, big-endian
//   INT_SIZE    4 bytes, signed, big-endian (a negative count means no items)
//   any other width: no count field at all; the items are written alone and nothing is read.
//
// The class is abstract: a derived class, one per item type, supplies the factory
// createValue() from which setData makes each item it parses.
//
// Ownership. The list owns every item that addValue accepted (result 1) and every item that
// setData made. An item addValue refuses stays with whoever offered it. Copies share items: a
// copy (copy constructor or assignment) holds the very item objects of its source, in order,
// and each item that more than one list has held carries a count of the lists that hold it
// (made when a copy first shares the item, so copying allocates one count per item not shared
// before). Letting go of an item (resetValues, setData, assignment over the list, destruction)
// only drops that count; the list that lets go last disposes of the item through
// destroyValue, exactly once. resetValues, setData and
// assignment call destroyValue virtually, so a derived override sees the items they dispose
// of; the destructor uses this class's own destroyValue, since the derived part of the object
// is already gone by then. Lists that share items may be destroyed on different threads, and
// one list may be copied (copy constructor, or assignment from it) on several threads at once,
// as reading a const object is; otherwise any one list is used by one thread at a time.
//
// Exceptions. The list raises none of its own; std::bad_alloc (and anything an item or the
// factory throws) passes through to the caller:
//   - addValue: the list is unchanged and the item stays with the caller;
//   - setData: the item being parsed, not yet in the list, is disposed of with destroyValue;
//     the items accepted before it stay in the list;
//   - copy constructor and assignment: the target is unchanged (a failed copy constructs
//     nothing) and no item changes hands;
//   - getData: whatever was appended before the throw stays in the buffer.
#ifndef ORVELPDU_DATA_CIPBYTEDATALIST_H_
#define ORVELPDU_DATA_CIPBYTEDATALIST_H_

#include <atomic>
#include <vector>

#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/export.h"

class CIPByteBuffer;

namespace orvelpdu::detail {

// One list's hold on one item. `holders` is null while one list alone has ever held the item,
// which then disposes of it without counting. Once a copy shares the item, every list holding
// it points at the same `holders`, the number of those lists; the one that brings it to zero
// deletes it and disposes of the item. Mutable: copying a list makes its source's items
// countable, though the source is otherwise left as it is. Copies of one source may be made
// on several threads at once, so `holders` is read and set with atomic steps (std::atomic_ref).
class ListAccess;

struct ListEntry {
  CIPByteData* item;
  mutable std::atomic<long>* holders;
};

}  // namespace orvelpdu::detail

class ORVELPDU_API CIPByteDataList : public CIPByteData {
 public:
  static const unsigned char BYTE_SIZE;
  static const unsigned char SHORT_SIZE;
  static const unsigned char INT_SIZE;

  // Empty list with maximum count 0 (it refuses every item) and count width INT_SIZE.
  CIPByteDataList();
  // Empty list with the given maximum count and count width, both taken as they are.
  CIPByteDataList(int maximumCount, int countWidth);
  // Shares `other`'s items (see Ownership) and takes its maximum count and count width.
  CIPByteDataList(const CIPByteDataList& other);
  // Lets go of this list's items, then shares `other`'s and takes its maximum count and count
  // width. Items held by both stay alive; self-assignment changes nothing.
  CIPByteDataList& operator=(const CIPByteDataList& other);
  ~CIPByteDataList() override;

  // Parses a count and then up to that many items, each made by createValue and filled by
  // its own setData, from the front of `buffer`. The list is emptied first (resetValues),
  // whatever follows. Each parsed item is offered to addValue, whatever its setData returned;
  // one the list has no room for is disposed of with destroyValue, so the buffer is consumed
  // past every parsed position even when the list is full. Positions are parsed in order
  // until one of these ends the parse:
  //   - the count is reached, or a position finds the buffer empty;
  //   - an item's setData returns 0 (after that item is offered): the bytes behind a failed
  //     item cannot be trusted to start the next one;
  //   - an item takes no bytes (after it is offered): the next would see the same bytes;
  //   - more positions have had a null factory result than bytes were held after the count.
  //     A null result skips its position without reading; the next item reads those bytes.
  // So a count read from a short buffer (the 0xCD fill) or larger than the input, and items
  // that refuse what is held, cost no more than the input holds (an item that scans every
  // held byte before refusing is called once, not once per position). Returns 1.
  int setData(CIPByteBuffer& buffer) override;
  // Appends the count and then each item's getData, in list order (the items' results are not
  // examined). Returns 1, or 0 with nothing appended when the count does not fit its width
  // (more than 255 items with BYTE_SIZE, more than 65535 with SHORT_SIZE).
  int getData(CIPByteBuffer& buffer) override;

  // createValue is declared here, between getData and destroyValue, because virtual slots
  // follow declaration order and derived classes rely on setData, getData, createValue,
  // destroyValue.
 protected:
  // The item factory: a new item of the list's item type, allocated singly on the heap and
  // ready to parse itself; the list takes it over. Null skips the position being parsed.
  virtual CIPByteData* createValue() = 0;

 public:
  // Disposes of one item: destroys it through its virtual destructor (which frees it), then
  // unregisters its address with _DelMemory, then sets `item` to null. Null does nothing.
  // REQUIRES: item is null or a single heap object no list still holds.
  virtual void destroyValue(CIPByteData*& item);

  // The number of items held.
  int getCount() const;
  // Appends `item` and takes it over: 1. Returns 0 and changes nothing when the item is null
  // or the list already holds the maximum count (or more).
  // REQUIRES: item is null or a single heap object that no list holds yet.
  int addValue(CIPByteData* item);
  // The item at a 0-based index, still owned by the list; null outside 0..getCount()-1.
  CIPByteData* getValue(int index);
  // Lets go of every item, first to last (disposing of those no other list holds, through
  // the virtual destroyValue), and empties the list; the pointer storage is kept for reuse.
  void resetValues();

 private:
  // Drops this list's hold on the item of `entry`; the last holder disposes of it, through
  // the virtual destroyValue or, from the destructor, through this class's own.
  void release(const orvelpdu::detail::ListEntry& entry, bool virtualDispose);
  // Reads the count field of this list's width: 0 when there is none.
  int removeCount(CIPByteBuffer& buffer) const;

  // The library's checked parse sizes the item storage once through it.
  friend class orvelpdu::detail::ListAccess;

  std::vector<orvelpdu::detail::ListEntry> items;
  int maximumCount;
  int countWidth;
};

#endif  // ORVELPDU_DATA_CIPBYTEDATALIST_H_

// Fuzzing of the counted list. A concrete list is parsed from the input with the count width
// (1, 2 and 4 bytes, or a width with no count field), the maximum count (0, 1, 3 or 300) and
// the factory (declining the second position or not) that the input's first byte picks. The outcome
// is checked against an independent reading of the input; the list is then encoded, parsed again
// and encoded again, and both parses and both encodings must agree. Copies and assignments share
// the items, and once every list is gone each item has been destroyed and unregistered exactly
// once.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/base/CString.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/data/CIPByteDataList.h"

namespace {

using orvelpdu::fuzz::bufferOf;
using orvelpdu::fuzz::Bytes;
using orvelpdu::fuzz::contentOf;

using orvelpdu::fuzz::check;

int live = 0;  // Items constructed and not yet destroyed.

// An item: a big-endian short, then a NUL-ended text. Parsing always consumes something from
// a buffer that holds bytes (removeShort takes two bytes or empties the buffer).
class Item : public CIPByteData {
 public:
  Item(short n, const char* t) : number(n), text(t) { ++live; }
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;
  ~Item() override { --live; }

  int setData(CIPByteBuffer& buffer) override {
    number = buffer.removeShort();
    buffer.removeCString(text);
    return 1;
  }
  int getData(CIPByteBuffer& buffer) override {
    buffer.appendShort(number);
    buffer.appendCString(const_cast<char*>(static_cast<const char*>(text)));
    buffer.appendByte(0);
    return 1;
  }

  short number = 0;
  CString text;
};

Item* newItem(short n, const char* t) {
  auto* item = new Item(n, t);
  _AddMemory(item, static_cast<int>(sizeof(Item)), 1, nullptr);
  return item;
}

class List : public CIPByteDataList {
 public:
  List(int maximum, int width, int nullOn) : CIPByteDataList(maximum, width), nullOn_(nullOn) {}

  void destroyValue(CIPByteData*& item) override {
    ++disposed;
    CIPByteDataList::destroyValue(item);
  }

  int disposed = 0;

 protected:
  CIPByteData* createValue() override {
    if (calls_++ == nullOn_) return nullptr;
    return newItem(0, "");
  }

 private:
  int nullOn_;
  int calls_ = 0;
};

struct Expected {
  struct Parsed {
    short number;
    std::string text;
    bool complete;  // the short and the NUL that ends the text were both there
  };
  std::vector<Parsed> kept;
  Bytes rest;
  int parsed = 0;     // positions parsed into an item
  int positions = 0;  // positions visited, declined ones included
  int count = 0;      // the count as read
  size_t consumed = 0;
};

// Reads the input as the list should, without the library.
Expected expect(const Bytes& in, int width, int maximum, int nullOn) {
  Expected e;
  size_t pos = 0;
  auto left = [&] { return in.size() - pos; };
  if (width == 1 || width == 2 || width == 4) {
    const uint32_t fill = width == 1 ? 0xCDu : width == 2 ? 0xCDCDu : 0xCDCDCDCDu;
    const auto bytes = static_cast<size_t>(width);
    e.count = static_cast<int>(left() >= bytes ? orvelpdu::fuzz::loadBig(in, 0, width) : fill);
    pos = std::min(bytes, in.size());
  }
  for (int p = 0; p < e.count && left() > 0; ++p) {
    ++e.positions;
    if (p == nullOn) continue;
    Expected::Parsed item{static_cast<short>(0xCDCD), "", false};
    if (left() >= 2) {
      item.number = static_cast<short>(orvelpdu::fuzz::loadBig(in, pos, 2));
      pos += 2;
      const auto* start = in.data() + pos;
      const auto* nul = static_cast<const uint8_t*>(std::memchr(start, 0, left()));
      const size_t text = nul == nullptr ? left() : static_cast<size_t>(nul - start);
      item.text.assign(reinterpret_cast<const char*>(start), text);
      item.complete = nul != nullptr;
      pos += nul == nullptr ? text : text + 1;
    } else {
      pos = in.size();
    }
    ++e.parsed;
    if (static_cast<int>(e.kept.size()) < maximum) e.kept.push_back(item);
  }
  e.consumed = pos;
  e.rest.assign(in.begin() + static_cast<long>(pos), in.end());
  return e;
}

Bytes countField(int width, int count) {
  Bytes out;
  for (int i = width - 1; i >= 0 && (width == 1 || width == 2 || width == 4); --i) {
    out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i)));
  }
  return out;
}

Bytes encodeItems(const std::vector<Expected::Parsed>& items) {
  Bytes out;
  for (const auto& item : items) {
    const Bytes number = orvelpdu::fuzz::bigEndian(static_cast<uint16_t>(item.number), 2);
    out.insert(out.end(), number.begin(), number.end());
    out.insert(out.end(), item.text.begin(), item.text.end());
    out.push_back(0);
  }
  return out;
}

void checkItems(List& list, const std::vector<Expected::Parsed>& kept, const char* what, int width,
                int maximum) {
  check(list.getCount() == static_cast<int>(kept.size()), what, width, maximum);
  for (size_t i = 0; i < kept.size(); ++i) {
    auto* item = static_cast<Item*>(list.getValue(static_cast<int>(i)));
    check(item != nullptr && item->number == kept[i].number &&
              std::string(static_cast<const char*>(item->text),
                          static_cast<size_t>(item->text.GetLength())) == kept[i].text,
          what, width, maximum);
  }
  check(list.getValue(list.getCount()) == nullptr && list.getValue(-1) == nullptr,
        "getValue outside the items", width, maximum);
}

// Whether a count field `width` bytes wide (3: none) can carry `kept`.
bool countFits(int width, int kept) {
  return !(width == 1 && kept > 255) && !(width == 2 && kept > 65535);
}

// Encoding what was parsed: a count the width cannot carry is refused whole. Returns the
// encoding (empty when refused).
Bytes checkEncoding(List& list, const Expected& e, const Bytes& input, int width, int maximum,
                    int nullOn) {
  const int kept = static_cast<int>(e.kept.size());
  const bool fits = countFits(width, kept);
  CIPByteBuffer out;
  check(list.getData(out) == (fits ? 1 : 0), "getData result", width, maximum);
  Bytes expected;
  if (fits) {
    expected = countField(width, kept);
    const Bytes items = encodeItems(e.kept);
    expected.insert(expected.end(), items.begin(), items.end());
  }
  const Bytes first = contentOf(out);
  check(first == expected, "re-encoded list", width, maximum);
  bool canonical = e.positions == e.count && e.parsed == kept && nullOn < 0 && width != 3;
  for (const auto& item : e.kept) canonical = canonical && item.complete;
  if (canonical && fits) {
    check(first == Bytes(input.begin(), input.begin() + static_cast<long>(e.consumed)),
          "a whole list re-encodes to its own bytes", width, maximum);
  }
  return first;
}

// Parses the encoding again; with no count field there is nothing to drive the parse.
void checkSecondParse(const Bytes& first, const Expected& e, int width, int maximum) {
  List again(maximum, width, -1);
  CIPByteBuffer second = bufferOf(first);
  again.setData(second);
  check(second.isEmpty() == 1, "the encoding is consumed whole", width, maximum);
  checkItems(again, e.kept, "second parse", width, maximum);
  CIPByteBuffer out2;
  again.getData(out2);
  check(contentOf(out2) == first, "second encoding", width, maximum);
}

// Copies share the items; whoever lets go last disposes of them, exactly once.
void checkCopies(List& list, const Expected& e, int liveBefore, int width, int maximum) {
  auto* copy = new List(list);
  List assigned(1, 1, -1);
  assigned.addValue(newItem(2, "replaced"));
  assigned = list;
  list.resetValues();
  check(list.getCount() == 0, "reset empties the list", width, maximum);
  check(live == liveBefore + static_cast<int>(e.kept.size()), "reset keeps items other lists hold",
        width, maximum);
  checkItems(*copy, e.kept, "copy", width, maximum);
  delete copy;
  checkItems(assigned, e.kept, "assigned", width, maximum);
}

void fuzzConfig(const Bytes& input, int width, int maximum, int nullOn) {
  const int registered = _CountMemory();
  const long adds = _CountAddMemory();
  const long dels = _CountDelMemory();
  const int liveBefore = live;
  const Expected e = expect(input, width, maximum, nullOn);
  {
    List list(maximum, width, nullOn);
    // Items held before a parse are disposed of first, whatever the input.
    Item* earlier = newItem(1, "earlier");
    if (list.addValue(earlier) == 0) {
      CIPByteData* refused = earlier;
      list.CIPByteDataList::destroyValue(refused);
    }
    const int heldBefore = list.getCount();

    CIPByteBuffer in = bufferOf(input);
    check(list.setData(in) == 1, "setData result", width, maximum);
    check(contentOf(in) == e.rest, "bytes left after the list", width, maximum);
    checkItems(list, e.kept, "parsed items", width, maximum);
    check(list.disposed == heldBefore + e.parsed - static_cast<int>(e.kept.size()),
          "items disposed of while parsing", width, maximum);
    check(_CountMemory() == registered + list.getCount(), "registered items", width, maximum);

    const Bytes first = checkEncoding(list, e, input, width, maximum, nullOn);
    if (countFits(width, static_cast<int>(e.kept.size())) && width != 3)
      checkSecondParse(first, e, width, maximum);
    checkCopies(list, e, liveBefore, width, maximum);
  }
  check(live == liveBefore, "every item destroyed", width, maximum);
  check(_CountMemory() == registered, "every item unregistered", width, maximum);
  check(_CountAddMemory() - adds == _CountDelMemory() - dels, "registry calls balance", width,
        maximum);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 8192) return 0;
  // The first byte picks the list: its count width, its maximum count and whether the
  // factory declines the second position. The rest is the wire.
  static const int kWidths[] = {1, 2, 4, 3};
  static const int kMaximums[] = {0, 1, 3, 300};
  const int width = kWidths[data[0] & 3];
  const int maximum = kMaximums[(data[0] >> 2) & 3];
  const int nullOn = (data[0] & 0x10) != 0 ? 1 : -1;
  fuzzConfig(Bytes(data + 1, data + size), width, maximum, nullOn);
  return 0;
}

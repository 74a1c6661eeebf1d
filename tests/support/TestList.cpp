#include "support/TestList.h"

#include <atomic>
#include <memory>

#include "orvelpdu/base/MemoryRegistry.h"

namespace orvelpdu::test {

namespace {
// Atomic: items are made and destroyed on several threads in the thread tests.
std::atomic<int> gLiveItems{0};
}  // namespace

TestItem::TestItem() : number(0) { ++gLiveItems; }

TestItem::TestItem(short n, const char* t) : number(n), text(t) { ++gLiveItems; }

TestItem::TestItem(const TestItem& other)
    : CIPByteData(other), number(other.number), text(other.text) {
  ++gLiveItems;
}

TestItem::~TestItem() { --gLiveItems; }

int TestItem::setData(CIPByteBuffer& buffer) {
  number = buffer.removeShort();
  return buffer.removeCString(text);
}

int TestItem::getData(CIPByteBuffer& buffer) {
  buffer.appendShort(number);
  buffer.appendCString(const_cast<char*>(static_cast<const char*>(text)));
  buffer.appendByte(0);
  return 1;
}

int TestItem::liveCount() { return gLiveItems; }

TestItem* newTestItem(short number, const char* text) {
  // The registry may fail to allocate too; the item must not leak then.
  auto item = std::make_unique<TestItem>(number, text);
  _AddMemory(item.get(), static_cast<int>(sizeof(TestItem)), 1, nullptr);
  return item.release();
}

void TestList::destroyValue(CIPByteData*& item) {
  ++destroyCalls;
  CIPByteDataList::destroyValue(item);
}

CIPByteData* TestList::createValue() {
  if (factoryCalls++ == nullOnCall) return nullptr;
  return newTestItem(0);
}

}  // namespace orvelpdu::test

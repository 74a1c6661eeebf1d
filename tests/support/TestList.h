// A concrete list for tests: TestList, whose factory makes TestItems.
//
// TestItem wire form: a short (big-endian), then the characters of `text`, then a NUL byte,
// so items parse back to back from one buffer. The factory and newTestItem register each
// item with _AddMemory, as client code does, so the registry counters show every disposal
// (destroyValue unregisters); TestItem::liveCount() shows the items not yet destroyed.
#ifndef ORVELPDU_TESTS_SUPPORT_TESTLIST_H_
#define ORVELPDU_TESTS_SUPPORT_TESTLIST_H_

#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/data/CIPByteDataList.h"

namespace orvelpdu::test {

class TestItem : public CIPByteData {
 public:
  TestItem();
  TestItem(short number, const char* text);
  TestItem(const TestItem& other);
  TestItem& operator=(const TestItem& other) = default;
  ~TestItem() override;

  // Removes the short and the C-string field; 1 when a text field was there, else 0.
  int setData(CIPByteBuffer& buffer) override;
  int getData(CIPByteBuffer& buffer) override;

  // TestItems constructed and not yet destroyed in this process.
  static int liveCount();

  short number;
  CString text;
};

// A new TestItem, registered with _AddMemory.
TestItem* newTestItem(short number, const char* text = "");

class TestList : public CIPByteDataList {
 public:
  TestList() = default;
  TestList(int maximum, int width) : CIPByteDataList(maximum, width) {}

  // Counts the calls that reach this override (the virtual ones), then disposes as usual.
  void destroyValue(CIPByteData*& item) override;

  int factoryCalls = 0;  // createValue calls so far
  int nullOnCall = -1;   // the 0-based factory call that returns null instead of an item
  int destroyCalls = 0;  // calls of the override above

 protected:
  CIPByteData* createValue() override;
};

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_TESTLIST_H_

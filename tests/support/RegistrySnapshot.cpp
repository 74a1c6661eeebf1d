#include "support/RegistrySnapshot.h"

#include "orvelpdu/base/MemoryRegistry.h"
#include "support/TestList.h"

namespace orvelpdu::test {

RegistrySnapshot::RegistrySnapshot()
    : registered_(_CountMemory()),
      items_(TestItem::liveCount()),
      adds_(_CountAddMemory()),
      dels_(_CountDelMemory()) {}

int RegistrySnapshot::liveBlocks() const { return _CountMemory() - registered_; }
int RegistrySnapshot::liveItems() const { return TestItem::liveCount() - items_; }
long RegistrySnapshot::addCalls() const { return _CountAddMemory() - adds_; }
long RegistrySnapshot::delCalls() const { return _CountDelMemory() - dels_; }

}  // namespace orvelpdu::test

// The memory registry's counters and the live TestItem count at one moment, to compare with
// later: how many blocks and items were made and not yet disposed of, and how many registry
// calls were made since.
#ifndef ORVELPDU_TESTS_SUPPORT_REGISTRYSNAPSHOT_H_
#define ORVELPDU_TESTS_SUPPORT_REGISTRYSNAPSHOT_H_

namespace orvelpdu::test {

class RegistrySnapshot {
 public:
  RegistrySnapshot();

  // Blocks registered now beyond those registered at the snapshot (negative when fewer).
  int liveBlocks() const;
  // TestItems alive now beyond those alive at the snapshot.
  int liveItems() const;
  long addCalls() const;
  long delCalls() const;
  // Every block registered and every TestItem made since the snapshot is gone again.
  bool balanced() const { return liveBlocks() == 0 && liveItems() == 0; }

 private:
  int registered_;
  int items_;
  long adds_;
  long dels_;
};

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_REGISTRYSNAPSHOT_H_

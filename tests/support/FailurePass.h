// The allocation-failure driver: runs one operation on a fresh state with the k-th allocation
// failing, for k = 1, 2, ... until the operation completes, and hands each run's state and
// outcome to a check. runFailurePass adds what every failure must leave behind: std::bad_alloc
// at the caller and, once the state is gone, nothing registered and no TestItem alive.
#ifndef ORVELPDU_TESTS_SUPPORT_FAILUREPASS_H_
#define ORVELPDU_TESTS_SUPPORT_FAILUREPASS_H_

#include <gtest/gtest.h>

#include <memory>

#include "support/FailingNew.h"
#include "support/RegistrySnapshot.h"

namespace orvelpdu::test {

// One run: builds a state with make() (allocation working; make returns an owning pointer),
// runs op(*state) with the k-th allocation failing, then check(*state, outcome, k) while the
// state is alive. Returns whether the failure fired; the state is destroyed before returning.
template <class Make, class Op, class Check>
bool failOnce(long k, Make& make, Op& op, Check& check) {
  auto state = make();
  const ArmedOutcome outcome = runWithAllocationFailure(k, [&] { op(*state); });
  check(*state, outcome, k);
  return outcome.fired;
}

// failOnce for k = 1, 2, ... until the operation completes. Returns the number of runs in
// which the failure fired.
template <class Make, class Op, class Check>
long failEachAllocation(Make make, Op op, Check check) {
  return forEachAllocationFailure([&](long k) { return failOnce(k, make, op, check); });
}

struct NoCheck {
  template <class State>
  void operator()(State&) const {}
};

// failEachAllocation over a default-constructed State. When the failure fired, std::bad_alloc
// itself must have reached this caller and `failed(state)` checks the state the operation
// promises after a failure. Whether or not it fired, once the state is destroyed the registry
// holds what it held before and every TestItem made has been destroyed. Returns the number of
// failed attempts, which must not be 0: an operation that never allocates would make the pass
// vacuous.
template <class State, class Op, class Failed = NoCheck>
long runFailurePass(const char* name, Op op, Failed failed = {}) {
  auto make = [] { return std::make_unique<State>(); };
  auto check = [&](State& state, const ArmedOutcome& run, long k) {
    if (run.fired) {
      EXPECT_TRUE(run.caught && run.exactType) << name << ": the failure of allocation " << k
                                               << " did not reach the caller as std::bad_alloc";
      failed(state);
    } else {
      EXPECT_FALSE(run.caught) << name << ": std::bad_alloc without a failed allocation";
    }
  };
  const long attempts = forEachAllocationFailure([&](long k) {
    const RegistrySnapshot registry;
    const bool fired = failOnce(k, make, op, check);
    EXPECT_EQ(0, registry.liveBlocks()) << name << ": allocation " << k << " failing";
    EXPECT_EQ(0, registry.liveItems()) << name << ": allocation " << k << " failing";
    return fired;
  });
  EXPECT_GT(attempts, 0) << name << " never allocated";
  return attempts;
}

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_FAILUREPASS_H_

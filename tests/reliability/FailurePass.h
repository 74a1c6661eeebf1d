// The driver of the allocation-failure pass: runs one operation on a fresh state with the
// k-th allocation failing, for k = 1, 2, ... until the operation completes, and checks what
// every failure must leave behind.
#ifndef ORVELPDU_TESTS_RELIABILITY_FAILUREPASS_H_
#define ORVELPDU_TESTS_RELIABILITY_FAILUREPASS_H_

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <typeinfo>

#include "orvelpdu/base/MemoryRegistry.h"
#include "support/FailingNew.h"
#include "support/TestList.h"

namespace orvelpdu::test::reliability {

struct NoCheck {
  template <class State>
  void operator()(State&) const {}
};

// For each k: builds a State (with allocation working), arms the k-th allocation to fail,
// runs op(state) and disarms. When the failure fired, std::bad_alloc itself must have reached
// this caller and `failed(state)` checks the state the operation promises after a failure.
// Whether or not it fired, once the state is destroyed the registry holds what it held
// before and every TestItem made has been destroyed. Returns the number of failed attempts,
// which must not be 0: an operation that never allocates would make the pass vacuous.
template <class State, class Op, class Failed = NoCheck>
long runFailurePass(const char* name, Op op, Failed failed = {}) {
  const long attempts = forEachAllocationFailure([&](long k) {
    const int registered = _CountMemory();
    const int items = TestItem::liveCount();
    bool fired = false;
    {
      auto state = std::make_unique<State>();
      bool caught = false;
      bool exact = false;
      {
        ScopedAllocationFailure failure(k);
        try {
          op(*state);
        } catch (const std::bad_alloc& e) {
          caught = true;
          exact = typeid(e) == typeid(std::bad_alloc);
        }
        fired = failure.fired();
      }
      if (fired) {
        EXPECT_TRUE(caught && exact) << name << ": the failure of allocation " << k
                                     << " did not reach the caller as std::bad_alloc";
        failed(*state);
      } else {
        EXPECT_FALSE(caught) << name << ": std::bad_alloc without a failed allocation";
      }
    }
    EXPECT_EQ(registered, _CountMemory()) << name << ": allocation " << k << " failing";
    EXPECT_EQ(items, TestItem::liveCount()) << name << ": allocation " << k << " failing";
    return fired;
  });
  EXPECT_GT(attempts, 0) << name << " never allocated";
  return attempts;
}

}  // namespace orvelpdu::test::reliability

#endif  // ORVELPDU_TESTS_RELIABILITY_FAILUREPASS_H_

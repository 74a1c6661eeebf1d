// A test-only global operator new (tests/support/interpose/FailingNew.cpp, linked into every
// test binary) that can be armed to throw std::bad_alloc at the k-th allocation after arming.
// Unarmed, it allocates as usual. It counts allocations, so tests can also assert how many an
// operation makes.
#ifndef ORVELPDU_TESTS_SUPPORT_FAILINGNEW_H_
#define ORVELPDU_TESTS_SUPPORT_FAILINGNEW_H_

#include <new>
#include <typeinfo>

namespace orvelpdu::test {

// Arms the failure: the k-th allocation from now (k >= 1) throws, and so does none after it.
// The calling thread's cached header blocks are freed first (orvelpdu/pdu/HeaderBlockCache.h),
// so that every header the armed operation creates is allocated.
void armAllocationFailure(long k);
void disarmAllocationFailure();
// True once an armed failure has been thrown since the last arming.
bool allocationFailureFired();
// Allocations made through the global operator new since the process started.
long allocationCount();
// Bytes held now by blocks from the global operator new (their usable size), for bounds on
// the memory an object keeps.
long liveBytes();

// Address reuse on demand, for races between a free and a late bookkeeping call: the next
// block released through the global operator delete (on any thread) is not freed at once.
// Instead `whileKept(block)` runs on the releasing thread while the block is kept aside, and
// the block is freed afterwards unless a thread that called takeKeptBlockNext() has been
// handed it. One shot: the next release after that frees as usual. The calling thread's
// header block cache is turned off, so that the headers it releases are freed.
void keepNextFreedBlock(void (*whileKept)(void* block));
// The calling thread's next allocation returns the kept block, when one is kept and large
// enough; otherwise it allocates as usual.
void takeKeptBlockNext();

// Arms at construction, disarms at destruction.
class ScopedAllocationFailure {
 public:
  explicit ScopedAllocationFailure(long k) { armAllocationFailure(k); }
  ~ScopedAllocationFailure() { disarmAllocationFailure(); }
  ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
  ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
  bool fired() const { return allocationFailureFired(); }
};

// What one run of an operation with an armed failure showed.
struct ArmedOutcome {
  bool fired = false;      // the armed allocation failure was thrown
  bool caught = false;     // a std::bad_alloc left the operation
  bool exactType = false;  // and it was std::bad_alloc itself, not a type derived from it
};

// Runs op() with the k-th allocation from now failing and catches the std::bad_alloc that
// leaves it; the failure is disarmed again before this returns. Any other exception passes.
template <class Op>
ArmedOutcome runWithAllocationFailure(long k, Op&& op) {
  ArmedOutcome outcome;
  ScopedAllocationFailure failure(k);
  try {
    op();
  } catch (const std::bad_alloc& e) {
    outcome.caught = true;
    outcome.exactType = typeid(e) == typeid(std::bad_alloc);
  }
  outcome.fired = failure.fired();
  return outcome;
}

// Runs attempt(k) for k = 1, 2, ... until an attempt reports that the armed failure did not
// fire (the operation completed). Each attempt builds its own fresh state, arms with
// ScopedAllocationFailure(k), runs the operation and checks the state it promises.
// Returns the number of attempts in which the failure fired. Gives up after `maxAttempts`.
template <class Attempt>
long forEachAllocationFailure(Attempt attempt, long maxAttempts = 10000) {
  long k = 1;
  for (; k <= maxAttempts; ++k) {
    if (!attempt(k)) break;
  }
  return k - 1;
}

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_FAILINGNEW_H_

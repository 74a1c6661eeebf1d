// The process-wide registry of heap blocks. The library registers every PDU header it
// creates and unregisters it after destroying it; list items are unregistered when the list
// disposes of them. The registry exists so that tests and leak checks can see what is alive.
//
// Pointers are keys only: the registry never reads or writes through them, and it tolerates
// pointers it does not know (unregistering one changes nothing but the call counter).
// Every function is thread-safe: objects may be destroyed on any thread. There is no
// process-wide lock: the registry is split by address into independently locked shards. A
// thread that finds its shard locked spins briefly and then sleeps until the holder lets go,
// so a holder that loses its processor (even to a real-time waiter) always gets to finish.
//
// Registrations are counted per address. An address registered again before its
// registration is undone (a block freed and its address handed to a new block on another
// thread before the first thread's late _DelMemory) stays registered until every
// registration has been undone, so no live block ever goes missing.
#ifndef ORVELPDU_BASE_MEMORYREGISTRY_H_
#define ORVELPDU_BASE_MEMORYREGISTRY_H_

#include "orvelpdu/export.h"

// Registers `block` with its size in bytes. `kind` and `name` are accepted for the platform's
// signature and not interpreted. Registering a block that is already registered counts one
// more registration and replaces its size. Returns `block`.
ORVELPDU_API void* _AddMemory(void* block, int size, int kind, char* name);

// Undoes one registration of `block`, when registered; the block is unregistered once none
// is left. Returns `block`.
ORVELPDU_API void* _DelMemory(void* block);

// Number of blocks registered now; a block registered twice counts once. Exact when no other
// thread registers or unregisters meanwhile (the shards are counted one after the other).
ORVELPDU_API int _CountMemory();

// The size given when `block` was registered, or -1 when it is not registered now. For a
// block registered more than once, the size given at its most recent registration.
ORVELPDU_API int _FindMemory(void* block);

// Number of _AddMemory and _DelMemory calls made so far in this process (exact once the
// calls on other threads have returned).
ORVELPDU_API long _CountAddMemory();
ORVELPDU_API long _CountDelMemory();

#endif  // ORVELPDU_BASE_MEMORYREGISTRY_H_

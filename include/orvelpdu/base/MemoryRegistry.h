// The process-wide registry of heap blocks. The library registers every PDU header it
// creates and unregisters it after destroying it; list items are unregistered when the list
// disposes of them. The registry exists so that tests and leak checks can see what is alive.
//
// Pointers are keys only: the registry never reads or writes through them, and it tolerates
// pointers it does not know (unregistering one changes nothing but the call counter).
// Every function is thread-safe: objects may be destroyed on any thread.
#ifndef ORVELPDU_BASE_MEMORYREGISTRY_H_
#define ORVELPDU_BASE_MEMORYREGISTRY_H_

#include "orvelpdu/export.h"

// Registers `block` with its size in bytes. `kind` and `name` are accepted for the platform's
// signature and not interpreted. Registering a block that is already registered replaces its
// size. Returns `block`.
ORVELPDU_API void* _AddMemory(void* block, int size, int kind, char* name);

// Unregisters `block`, when registered. Returns `block`.
ORVELPDU_API void* _DelMemory(void* block);

// Number of blocks registered now.
ORVELPDU_API int _CountMemory();

// The size given when `block` was registered, or -1 when it is not registered now.
ORVELPDU_API int _FindMemory(void* block);

// Number of _AddMemory and _DelMemory calls made so far in this process.
ORVELPDU_API long _CountAddMemory();
ORVELPDU_API long _CountDelMemory();

#endif  // ORVELPDU_BASE_MEMORYREGISTRY_H_

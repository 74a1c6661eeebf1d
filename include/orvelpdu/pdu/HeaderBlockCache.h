// The storage of PDU headers is recycled per thread: when a PDU lets its header go (destroyed,
// then unregistered with _DelMemory), the header's block is kept in a small cache of the
// releasing thread, and the next header that thread creates takes it instead of a new
// allocation, so a steady stream of PDUs allocates no header block. Registration with the
// memory registry is exactly as without the cache: every header is registered when created
// and unregistered after it is destroyed, and a block is reused only after its
// unregistration. A thread's cached blocks are freed when the thread ends.
//
// The controls below act on the calling thread's cache only. They exist for code that must
// see every header block come from and go back to the global operator new: leak checkers
// that count blocks at a point, and tests that make allocations fail or that watch blocks
// being freed.
#ifndef ORVELPDU_PDU_HEADERBLOCKCACHE_H_
#define ORVELPDU_PDU_HEADERBLOCKCACHE_H_

#include "orvelpdu/export.h"

namespace orvelpdu {

// Frees the blocks the calling thread's cache holds now.
ORVELPDU_API void releaseCachedHeaderBlocks();

// Turns the calling thread's cache on (the default) or off. Off, its blocks are freed and
// every header block the thread creates or releases goes through the global operator new
// and operator delete.
ORVELPDU_API void setHeaderBlockCacheEnabled(bool enabled);

}  // namespace orvelpdu

#endif  // ORVELPDU_PDU_HEADERBLOCKCACHE_H_

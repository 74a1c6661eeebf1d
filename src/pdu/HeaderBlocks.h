// The storage behind a PDU's header, internal to the library: the header with the count of the
// PDUs sharing it, in blocks that the calling thread's header block cache recycles
// (orvelpdu/pdu/HeaderBlockCache.h).
#ifndef ORVELPDU_SRC_PDU_HEADERBLOCKS_H_
#define ORVELPDU_SRC_PDU_HEADERBLOCKS_H_

#include <atomic>
#include <cstddef>

#include "orvelpdu/pdu/CPDUHeader.h"

namespace orvelpdu::detail {

// A header together with the count of the PDUs sharing it, made in one block. The count is
// atomic so that PDUs sharing a header may be destroyed on different threads once each has
// been handed over.
struct HeaderOwners {
  std::atomic<long> count{1};
  CPDUHeader header;
};

inline constexpr std::size_t kHeaderBlockSize = sizeof(HeaderOwners);

// A block of kHeaderBlockSize bytes, suitably aligned for a HeaderOwners: one the calling
// thread's cache kept, or a new one from the global operator new (which may throw
// std::bad_alloc).
void* takeHeaderBlock();
// Gives a block from takeHeaderBlock back, its HeaderOwners destroyed and unregistered: kept
// in the calling thread's cache when there is room, else released with the global operator
// delete.
void releaseHeaderBlock(void* block);

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_SRC_PDU_HEADERBLOCKS_H_

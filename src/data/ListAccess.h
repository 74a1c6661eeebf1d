// What the library's own list parsers may do with a CIPByteDataList that its public interface
// does not offer. Internal to the library; not installed.
#ifndef ORVELPDU_SRC_DATA_LISTACCESS_H_
#define ORVELPDU_SRC_DATA_LISTACCESS_H_

#include <cstddef>

#include "orvelpdu/data/CIPByteDataList.h"

namespace orvelpdu::detail {

class ListAccess {
 public:
  // Makes room for `count` items in all, so that adding them allocates once. Throws
  // std::bad_alloc with the list unchanged.
  // REQUIRES: count is bounded by the bytes the caller holds, never by a count it read.
  static void reserve(CIPByteDataList& list, std::size_t count) { list.items.reserve(count); }
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_SRC_DATA_LISTACCESS_H_

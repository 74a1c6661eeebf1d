// UnknownParameters holds the optional parameters a described PDU carries beyond those it
// describes: those received with tags it does not know (when it keeps them) and those a caller
// adds through CPDU's extra-parameter hooks. Each is an octet-string TLV with its tag and value
// bytes, kept in the order received or added, and encoded after the described parameters in
// that order.
//
// Ownership: the object owns its TLVs; a pointer from find() stays valid until the entry is
// replaced, the object is cleared, assigned or destroyed. Copies are deep. std::bad_alloc
// passes through add and put with the object as it was.
#ifndef ORVELPDU_DESCRIBE_UNKNOWNPARAMETERS_H_
#define ORVELPDU_DESCRIBE_UNKNOWNPARAMETERS_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"
#include "orvelpdu/tlv/CTLVOctets.h"

namespace orvelpdu {

class ORVELPDU_API UnknownParameters {
 public:
  UnknownParameters();
  UnknownParameters(const UnknownParameters& other);
  UnknownParameters& operator=(const UnknownParameters& other);
  ~UnknownParameters();

  // Appends a parameter, also when one with the same tag is held.
  // REQUIRES: value readable for length bytes; 0 <= length <= 65535.
  void add(std::uint16_t tag, const unsigned char* value, int length);
  // Replaces the value of the first parameter with `tag`, or appends one when none has it.
  void put(std::uint16_t tag, const unsigned char* value, int length);
  // The first parameter with `tag`, or null.
  CTLVOctets* find(std::uint16_t tag);
  int count() const { return static_cast<int>(items_.size()); }
  // REQUIRES: 0 <= index < count().
  const CTLVOctets& at(int index) const { return *items_[static_cast<std::size_t>(index)]; }
  void clear() { items_.clear(); }

  // Appends every parameter as a TLV frame, in order. Always succeeds: a held value is at most
  // 65,535 bytes.
  void encode(CIPByteBuffer& out) const;

  // Same tags and values in the same order.
  bool operator==(const UnknownParameters& other) const;

 private:
  std::vector<std::unique_ptr<CTLVOctets>> items_;
};

}  // namespace orvelpdu

#endif  // ORVELPDU_DESCRIBE_UNKNOWNPARAMETERS_H_

// UnknownParameters holds the optional parameters a described PDU carries beyond those it
// describes: those received with tags it does not know (when it keeps them) and those a caller
// adds through CPDU's extra-parameter hooks. Each is an octet-string TLV with its tag and value
// bytes, kept in the order received or added. Each also keeps its place among the described
// parameters: a received one is encoded again after as many described parameters as preceded
// it on the wire, so a PDU whose described parameters came in their described order encodes
// back to the very bytes received; one added by a caller goes after all of them.
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

  // Where a parameter added by a caller goes: after every described parameter.
  static constexpr int kAfterAll = 1 << 30;

  // Appends a parameter, also when one with the same tag is held, to be encoded after
  // `described` described parameters.
  // REQUIRES: value readable for length bytes; 0 <= length <= 65535.
  void add(std::uint16_t tag, const unsigned char* value, int length, int described = kAfterAll);
  // Replaces the value of the first parameter with `tag`, or appends one when none has it.
  void put(std::uint16_t tag, const unsigned char* value, int length);
  // The first parameter with `tag`, or null.
  CTLVOctets* find(std::uint16_t tag);
  int count() const { return static_cast<int>(items_.size()); }
  // REQUIRES: 0 <= index < count().
  const CTLVOctets& at(int index) const { return *items_[static_cast<std::size_t>(index)].tlv; }
  void clear() { items_.clear(); }

  // Appends, as TLV frames in order, the parameters from index `next` on whose place is at
  // most `described` described parameters, and returns the index after them. Encoding calls
  // it before each described parameter it writes and with kAfterAll at the end. Always
  // succeeds: a held value is at most 65,535 bytes.
  int encodeUpTo(int next, int described, CIPByteBuffer& out) const;

  // Same tags and values in the same order.
  bool operator==(const UnknownParameters& other) const;

 private:
  struct Entry {
    std::unique_ptr<CTLVOctets> tlv;
    int described;
  };
  std::vector<Entry> items_;
};

}  // namespace orvelpdu

#endif  // ORVELPDU_DESCRIBE_UNKNOWNPARAMETERS_H_

// Result is the one verdict of the library's strict operations: the strict header parse, the
// strict list parse, the checked text writer, described PDUs and items, and the mappings of the
// framer's and TLV frames' results. It says whether the operation succeeded and, when not,
// what went wrong (an Outcome), in which field (a path such as "recipients[1].address", empty
// when the failure belongs to no one field) and, where it helps, a detail such as the value
// that was refused.
//
// A successful Result holds no string and allocates nothing, so the common path of a parse or
// an encoding costs no allocation for its verdict. A failed one owns its texts.
#ifndef ORVELPDU_BASE_RESULT_H_
#define ORVELPDU_BASE_RESULT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "orvelpdu/export.h"

namespace orvelpdu {

enum class Outcome : std::uint8_t {
  kOk = 0,
  kCutShort,          // the bytes end inside the field
  kOverLimit,         // longer, or more items, than the field's maximum or its length field
  kNulMissing,        // a NUL-ended text whose bytes hold no NUL
  kNulInside,         // a text to be sent as NUL-ended holds a NUL, so the peer would cut it
  kWrongCommandId,    // the header's command id is not the one the PDU type carries
  kLengthMismatch,    // the command length is below 16 or disagrees with the bytes held
  kBytesLeftOver,     // the fields were complete and bytes of the PDU remain
  kParameterTwice,    // an optional parameter appears a second time
  kParameterRefused,  // an optional parameter's value is one its type cannot carry
  kNothingConsumed,   // a list item took no byte, so the list would never end
  kItemRefused,       // a hand-written item's or encoder's own result was 0
  kUnknownCommandId,  // no PDU type is registered for the command id
  kFramingError,      // the stream's framing is lost (command length out of range)
};

// A short English phrase for `outcome`, such as "cut short".
[[nodiscard]] ORVELPDU_API const char* outcomeText(Outcome outcome);

class ORVELPDU_API Result {
 public:
  // Success.
  Result() = default;
  // A failure of `field` (may be empty) with an optional detail.
  // REQUIRES: outcome != Outcome::kOk.
  Result(Outcome outcome, std::string field, std::string detail = std::string());

  [[nodiscard]] bool ok() const { return outcome_ == Outcome::kOk; }
  explicit operator bool() const { return ok(); }
  Outcome outcome() const { return outcome_; }
  // The failing field's path; empty on success and for failures of the whole PDU.
  const std::string& field() const;
  const std::string& detail() const;
  // A readable sentence: "ok", or the field, the outcome and the detail, such as
  // "recipients[1].address: NUL missing".
  [[nodiscard]] std::string reason() const;

  // Makes this failure one of a field inside `parent`: "address" inside "recipients[1]"
  // becomes "recipients[1].address". Used as a failure travels out of nested fields.
  void nestUnder(const std::string& parent);

 private:
  struct Texts {
    std::string field;
    std::string detail;
  };

  Outcome outcome_ = Outcome::kOk;
  // Null on success, so that making, moving and dropping a success costs next to nothing.
  // Shared between copies, which never change it: nestUnder makes a new one.
  std::shared_ptr<const Texts> texts_;
};

}  // namespace orvelpdu

#endif  // ORVELPDU_BASE_RESULT_H_

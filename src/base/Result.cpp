#include "orvelpdu/base/Result.h"

namespace orvelpdu {

const char* outcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return "ok";
    case Outcome::kCutShort:
      return "cut short";
    case Outcome::kOverLimit:
      return "over its limit";
    case Outcome::kNulMissing:
      return "NUL missing";
    case Outcome::kNulInside:
      return "holds a NUL, which a NUL-ended text cannot carry";
    case Outcome::kWrongCommandId:
      return "not the expected command id";
    case Outcome::kLengthMismatch:
      return "disagrees with the bytes held";
    case Outcome::kBytesLeftOver:
      return "bytes left over";
    case Outcome::kParameterTwice:
      return "appears twice";
    case Outcome::kParameterRefused:
      return "value refused by its type";
    case Outcome::kNothingConsumed:
      return "item consumed no byte";
    case Outcome::kItemRefused:
      return "refused";
    case Outcome::kUnknownCommandId:
      return "unknown command id";
    case Outcome::kFramingError:
      return "framing lost";
  }
  return "unknown outcome";
}

std::string Result::reason() const {
  std::string text = field_.empty() ? std::string() : field_ + ": ";
  text += outcomeText(outcome_);
  if (!detail_.empty()) text += " (" + detail_ + ")";
  return text;
}

void Result::nestUnder(const std::string& parent) {
  if (parent.empty()) return;
  field_ = field_.empty() ? parent : parent + "." + field_;
}

}  // namespace orvelpdu

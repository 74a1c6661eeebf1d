#include "orvelpdu/base/Result.h"

#include <utility>

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

namespace {
const std::string& noText() {
  static const std::string empty;
  return empty;
}
}  // namespace

Result::Result(Outcome outcome, std::string field, std::string detail)
    : outcome_(outcome),
      texts_(std::make_shared<const Texts>(Texts{std::move(field), std::move(detail)})) {}

const std::string& Result::field() const { return texts_ ? texts_->field : noText(); }

const std::string& Result::detail() const { return texts_ ? texts_->detail : noText(); }

std::string Result::reason() const {
  const std::string& where = field();
  std::string text = where.empty() ? std::string() : where + ": ";
  text += outcomeText(outcome_);
  if (!detail().empty()) text += " (" + detail() + ")";
  return text;
}

void Result::nestUnder(const std::string& parent) {
  if (parent.empty()) return;
  const std::string& where = field();
  texts_ =
      std::make_shared<const Texts>(Texts{where.empty() ? parent : parent + "." + where, detail()});
}

}  // namespace orvelpdu

// DescribedPDU is the base of a PDU described once (see Fields.h): the derived class states
// its command id and lists its body fields and optional parameters in one describe function,
// and everything else follows from it.
//
//   class Ping : public orvelpdu::DescribedPDU<Ping> {
//    public:
//     static constexpr std::uint32_t kCommandId = 0x00000015;
//     CString origin;
//     CTLVShort hops;
//     template <class V> void describe(V& v) {
//       v.cstring("origin", origin, 64);
//       v.parameters(orvelpdu::param("hops", 0x0101, hops));
//     }
//   };
//
// encode: header, body and the parameters that have a value (in the order described, with the
// unknown parameters held in their places, see UnknownParameters.h), appended in place; the command
// id set from kCommandId and the command length sealed to the bytes written. A field that cannot be
// carried (a NUL inside a NUL-ended text, a text, octets or list over its limit or its length
// field, a parameter value over 65,535 bytes or a string parameter holding a NUL) fails with the
// field named and nothing appended.
//
// parse: the PDU at the front of `in`, strictly: at least 16 bytes, a command length from 16
// up to the bytes held, the command id kCommandId, every field whole and within its limit, no
// bytes left over, each parameter at most once and with a value its type carries exactly as
// received (so that whatever is accepted encodes back to the same bytes). Every parameter is
// reset before parsing, so a reused object holds exactly what was received. On success the
// PDU's bytes are removed from `in` and the header's fields are the PDU's (the sequence
// number counts as assigned, as after setHeader). On failure the PDU's bytes are removed when
// the header was sound, whatever its command id (a receiver goes on with the next PDU), and
// nothing is removed otherwise. Validity tells how far parsing got: VALID_NONE for an unsound
// header or another command id, VALID_HEADER for a sound header and a malformed body, VALID_ALL on
// success.
//
// Unknown parameters are skipped, or kept in received order and encoded again when the PDU
// declares `static constexpr orvelpdu::Unknown kUnknownParameters = orvelpdu::Unknown::kKeep`.
// CPDU's extra-parameter hooks reach the same store (public here): what they add is encoded
// after the described parameters; a parse clears it first.
//
// getData and setData are encode and parse with CIPByteData's 1/0 results (the last verdict
// stays in result()), so a described PDU works wherever a CPDU does. REQUIRES of Derived:
// kCommandId, describe public, parameters (if any) described last, parameter types
// default-constructible and assignable.
#ifndef ORVELPDU_DESCRIBE_DESCRIBEDPDU_H_
#define ORVELPDU_DESCRIBE_DESCRIBEDPDU_H_

#include <cstdint>
#include <string>
#include <vector>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/describe/Dump.h"
#include "orvelpdu/describe/Fields.h"
#include "orvelpdu/describe/UnknownParameters.h"
#include "orvelpdu/describe/detail/ContentEquality.h"
#include "orvelpdu/describe/detail/Encoder.h"
#include "orvelpdu/describe/detail/Parser.h"
#include "orvelpdu/pdu/CPDU.h"
#include "orvelpdu/pdu/HeaderCheck.h"
#include "orvelpdu/pdu/Sealing.h"

namespace orvelpdu {

namespace detail {
// The dump rows of the header fields that were read.
ORVELPDU_API void appendHeaderRows(const HeaderFields& header, std::vector<DumpRow>& rows);
// The rows for a PDU that failed at `offset`: the bytes from there to `end`, unparsed.
ORVELPDU_API void appendUnparsedRow(const CIPByteBuffer& bytes, std::size_t offset, std::size_t end,
                                    std::vector<DumpRow>& rows);
// "command id 0x00000099 where 0x00000021 was expected"
ORVELPDU_API std::string wrongCommandId(std::uint32_t received, std::uint32_t expected);
}  // namespace detail

template <class Derived>
class DescribedPDU : public CPDU {
 public:
  [[nodiscard]] Result encode(CIPByteBuffer& out) {
    const unsigned int start = out.getLength();
    Result result;
    try {
      setCommandId(static_cast<int>(Derived::kCommandId));
      getHeader(out);
      detail::Encoder encoder(out, extras_.count() != 0 ? &extras_ : nullptr);
      derived().describe(encoder);
      encoder.finish();
      result = encoder.take();
      if (result.ok()) {
        if (!sealCommandLength(*this, out, start)) {
          result = Result(Outcome::kOverLimit, "command_length", "over 2147483647 bytes");
        }
      }
    } catch (...) {
      cutBack(out, start);
      throw;
    }
    if (!result.ok()) cutBack(out, start);
    return result;
  }

  [[nodiscard]] Result parse(CIPByteBuffer& in) {
    std::size_t consumed = 0;
    Result result = parseFrom<false>(in, nullptr, consumed);
    if (consumed != 0) in.removeBytes0(static_cast<int>(consumed));
    return result;
  }

  // Parses `bytes` (left unchanged) into this PDU as parse does, and appends one row per field
  // read to `rows`: the header, the body fields, the parameters; after a failure, the bytes not
  // parsed in one row "unparsed".
  [[nodiscard]] Result dump(const CIPByteBuffer& bytes, std::vector<DumpRow>& rows) {
    std::size_t consumed = 0;
    return parseFrom<true>(bytes, &rows, consumed);
  }

  int getData(CIPByteBuffer& out) override {
    result_ = encode(out);
    return result_.ok() ? 1 : 0;
  }
  int setData(CIPByteBuffer& in) override {
    result_ = parse(in);
    return result_.ok() ? 1 : 0;
  }
  // The verdict of the last getData or setData.
  const Result& result() const { return result_; }

  // Equal content in every described field and parameter and in the unknown parameters held;
  // the header is not compared (CPDU::equals compares sequence numbers).
  bool sameContent(const Derived& other) const {
    return extras_ == other.extras_ &&
           detail::sameContent(const_cast<Derived&>(derived()), const_cast<Derived&>(other));
  }

  UnknownParameters& unknownParameters() { return extras_; }
  const UnknownParameters& unknownParameters() const { return extras_; }

  // The extra-parameter hooks, on the unknown-parameter store. A TLV passed in stays the
  // caller's: its tag and value bytes are copied. register adds another parameter; set and
  // replace change the first one with the same tag, or add one.
  void registerExtraOptional(CTLV* tlv) override { storeExtra(tlv, false); }
  void replaceExtraOptional(CTLV* tlv) override { storeExtra(tlv, true); }
  void setExtraOptional(CTLV* tlv) override { storeExtra(tlv, true); }
  // Takes every byte `buffer` holds (at most 65,535; more are left alone) as the value of the
  // extra parameter `tag`, and removes them.
  void setExtraOptional(short tag, CIPByteBuffer& buffer) override {
    if (buffer.getLength() > 0xFFFFu) return;
    extras_.put(static_cast<std::uint16_t>(tag), buffer.getBuffer(),
                static_cast<int>(buffer.getLength()));
    buffer.empty();
  }
  // The extra parameter with `tag` (an octet-string TLV owned by this PDU), or null.
  CTLV* getExtraOptional(short tag) override {
    return extras_.find(static_cast<std::uint16_t>(tag));
  }
  // The described parameter with `tag`, or null.
  CTLV* findOptional(short tag) override {
    detail::ParameterFinder finder(static_cast<std::uint16_t>(tag));
    derived().describe(finder);
    return finder.found();
  }

 private:
  Derived& derived() { return static_cast<Derived&>(*this); }
  const Derived& derived() const { return static_cast<const Derived&>(*this); }

  void storeExtra(CTLV* tlv, bool replace) {
    if (tlv == nullptr || tlv->hasValue() == 0) return;
    CIPByteBuffer value;
    (void)tlv->getValueData(value);
    if (value.getLength() > 0xFFFFu) return;
    const auto tag = static_cast<std::uint16_t>(tlv->getTag());
    const auto length = static_cast<int>(value.getLength());
    if (replace) {
      extras_.put(tag, value.getBuffer(), length);
    } else {
      extras_.add(tag, value.getBuffer(), length);
    }
  }

  template <bool kRecord>
  Result parseFrom(const CIPByteBuffer& in, std::vector<DumpRow>* rows, std::size_t& consumed) {
    validity = VALID_NONE;
    HeaderFields fields;
    Result result = checkHeaderFields(in, LengthRule::kWithinHeld, fields);
    if constexpr (kRecord) detail::appendHeaderRows(fields, *rows);
    if (!result.ok()) return result;
    consumed = fields.commandLength;
    if (fields.commandId != Derived::kCommandId) {
      return Result(Outcome::kWrongCommandId, "command_id",
                    detail::wrongCommandId(fields.commandId, Derived::kCommandId));
    }
    // As setHeader takes them: through the header's setters, the number counting as assigned.
    checkHeader();
    header->setCommandLength(static_cast<int>(fields.commandLength));
    header->setCommandId(static_cast<int>(fields.commandId));
    header->setCommandStatus(static_cast<int>(fields.commandStatus));
    header->setSequenceNumber(static_cast<int>(fields.sequenceNumber));
    sequenceAssigned = 1;
    validity = VALID_HEADER;
    extras_.clear();
    const unsigned char* body = in.getBuffer() + HeaderFields::kSize;
    const unsigned char* end = in.getBuffer() + fields.commandLength;
    constexpr bool keep = detail::unknownPolicy<Derived>() == Unknown::kKeep;
    detail::Parser<kRecord> parser(body, end, HeaderFields::kSize, keep ? &extras_ : nullptr, rows);
    derived().describe(parser);
    result = parser.take();
    if (result.ok() && parser.left() != 0) {
      result = Result(Outcome::kBytesLeftOver, "", std::to_string(parser.left()) + " bytes");
    }
    if constexpr (kRecord) {
      if (!result.ok()) {
        detail::appendUnparsedRow(in, HeaderFields::kSize + parser.consumed(), fields.commandLength,
                                  *rows);
      }
    }
    if (result.ok()) validity = VALID_ALL;
    return result;
  }

  UnknownParameters extras_;
  Result result_;
};

}  // namespace orvelpdu

#endif  // ORVELPDU_DESCRIBE_DESCRIBEDPDU_H_

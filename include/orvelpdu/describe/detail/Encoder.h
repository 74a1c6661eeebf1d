// The visitor that encodes a description: appends each field to a buffer in wire order and
// stops at the first field that cannot be carried, naming it. Internal to the description
// facility; the caller cuts the buffer back on failure.
#ifndef ORVELPDU_DESCRIBE_DETAIL_ENCODER_H_
#define ORVELPDU_DESCRIBE_DETAIL_ENCODER_H_

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/describe/Fields.h"
#include "orvelpdu/describe/UnknownParameters.h"
#include "orvelpdu/describe/detail/Text.h"
#include "orvelpdu/tlv/CTLVByte.h"
#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVString.h"
#include "orvelpdu/tlv/CTLVUByte.h"

namespace orvelpdu::detail {

class Encoder {
 public:
  // `extras` (may be null) are encoded among and after the described parameters.
  explicit Encoder(CIPByteBuffer& out, const UnknownParameters* extras = nullptr)
      : out_(out), extras_(extras) {}

  // Appends the extras not yet written; called once the description has been walked.
  void finish() {
    if (!failed() && extras_ != nullptr) {
      extraNext_ = extras_->encodeUpTo(extraNext_, UnknownParameters::kAfterAll, out_);
    }
  }

  bool failed() const { return !result_.ok(); }
  Result take() { return std::move(result_); }

  template <WireInteger T>
  void field(const char*, T& value) {
    if (failed()) return;
    if constexpr (sizeof(T) == 1) {
      out_.appendByte(static_cast<unsigned char>(value));
    } else if constexpr (sizeof(T) == 2) {
      out_.appendShort(static_cast<short>(value));
    } else {
      out_.appendInt(static_cast<int>(value));
    }
  }

  template <TextValue T>
  void cstring(const char* name, T& text, std::size_t maxLength) {
    if (failed()) return;
    const std::string_view bytes = bytesOf(text);
    if (bytes.size() > maxLength)
      return fail(Outcome::kOverLimit, name, overBy(bytes.size(), maxLength));
    if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr)
      return fail(Outcome::kNulInside, name);
    appendRaw(out_, bytes);
    out_.appendByte(0);
  }

  template <TextValue T>
  void prefixed(const char* name, Width width, T& value, std::size_t maxLength) {
    if (failed()) return;
    const std::string_view bytes = bytesOf(value);
    const std::size_t limit = std::min<std::size_t>(maxLength, maxOfWidth(width));
    if (bytes.size() > limit) return fail(Outcome::kOverLimit, name, overBy(bytes.size(), limit));
    putCount(width, static_cast<std::uint32_t>(bytes.size()));
    appendRaw(out_, bytes);
  }

  template <std::size_t N>
  void fixed(const char*, std::array<unsigned char, N>& bytes) {
    if (failed()) return;
    out_.appendBytes0(bytes.data(), static_cast<int>(N));
  }

  template <class List>
  void list(const char* name, List& items) {
    if (failed()) return;
    const int count = items.getCount();
    const std::size_t limit = std::min<std::size_t>(List::kMax, maxOfWidth(List::kWidth));
    if (static_cast<std::size_t>(count) > limit) {
      return fail(Outcome::kOverLimit, name, overBy(static_cast<std::size_t>(count), limit));
    }
    putCount(List::kWidth, static_cast<std::uint32_t>(count));
    for (int i = 0; i < count && !failed(); ++i) {
      items.at(i).describe(*this);
      if (failed()) result_.nestUnder(std::string(name) + "[" + std::to_string(i) + "]");
    }
  }

  template <class Item>
  void item(const char* name, Item& nested) {
    if (failed()) return;
    nested.describe(*this);
    if (failed()) result_.nestUnder(name);
  }

  template <class... Tlv>
  void parameters(Param<Tlv>... params) {
    (parameter(params), ...);
  }

 private:
  template <class Tlv>
  void parameter(const Param<Tlv>& p) {
    if (failed() || p.tlv.hasValue() == 0) return;
    if (extras_ != nullptr) extraNext_ = extras_->encodeUpTo(extraNext_, written_, out_);
    ++written_;
    if constexpr (std::is_same_v<Tlv, CTLVByte> || std::is_same_v<Tlv, CTLVUByte> ||
                  std::is_same_v<Tlv, CTLVShort> || std::is_same_v<Tlv, CTLVInt> ||
                  std::is_same_v<Tlv, CTLVEmpty>) {
      putFixed(p.tag, p.tlv);
      return;
    }
    p.tlv.setTag(static_cast<short>(p.tag));
    const unsigned int start = out_.getLength();
    if (putFramed(p.tlv) == 0) return fail(Outcome::kOverLimit, p.name, "value over 65535 bytes");
    // A string value is read back up to its first NUL: refuse one that holds a NUL.
    if constexpr (std::is_base_of_v<CTLVString, Tlv>) {
      const unsigned char* value = out_.getBuffer() + start + 4;
      const std::size_t length = out_.getLength() - start - 4;
      if (length != 0 && std::memchr(value, 0, length) != nullptr) {
        out_.setLength(start);
        return fail(Outcome::kNulInside, p.name);
      }
    }
  }

  // tlv.getData(out_); for exactly the library's string or octets type, CTLV::getData's frame
  // around a direct call of the value code instead of a virtual one.
  template <class Tlv>
  int putFramed(Tlv& tlv) {
    if constexpr (std::is_same_v<Tlv, CTLVString> || std::is_same_v<Tlv, CTLVOctets>) {
      const unsigned int start = out_.getLength();
      out_.appendInt(static_cast<int>(
          static_cast<std::uint32_t>(static_cast<std::uint16_t>(tlv.getTag())) << 16));
      tlv.Tlv::getValueData(out_);
      const unsigned int length = out_.getLength() - start - 4;
      if (length > 65535) {
        out_.setLength(start);
        return 0;
      }
      storeBig16(out_.getBuffer() + start + 2, static_cast<std::uint16_t>(length));
      return 1;
    } else {
      return tlv.getData(out_);
    }
  }

  // The frame of a fixed-width parameter of the library's own types, written straight from
  // its value: the bytes its getData writes.
  template <class Tlv>
  void putFixed(std::uint16_t tag, const Tlv& tlv) {
    out_.appendShort(static_cast<short>(tag));
    if constexpr (std::is_same_v<Tlv, CTLVByte>) {
      out_.appendShort(1);
      out_.appendByte(tlv.getValue());
    } else if constexpr (std::is_same_v<Tlv, CTLVUByte>) {
      out_.appendShort(1);
      out_.appendByte(static_cast<unsigned char>(tlv.getValue()));
    } else if constexpr (std::is_same_v<Tlv, CTLVShort>) {
      out_.appendShort(2);
      out_.appendShort(tlv.getValue());
    } else if constexpr (std::is_same_v<Tlv, CTLVInt>) {
      out_.appendShort(4);
      out_.appendInt(tlv.getValue());
    } else {
      out_.appendShort(0);
    }
  }

  void putCount(Width width, std::uint32_t count) {
    if (width == Width::k1) {
      out_.appendByte(static_cast<unsigned char>(count));
    } else if (width == Width::k2) {
      out_.appendShort(static_cast<short>(static_cast<std::uint16_t>(count)));
    } else {
      out_.appendInt(static_cast<int>(count));
    }
  }

  static std::string overBy(std::size_t size, std::size_t limit) {
    return std::to_string(size) + ", at most " + std::to_string(limit);
  }

  void fail(Outcome outcome, const char* name, std::string detail = std::string()) {
    result_ = Result(outcome, name, std::move(detail));
  }

  CIPByteBuffer& out_;
  const UnknownParameters* extras_;
  int extraNext_ = 0;  // the first extra not yet written
  int written_ = 0;    // described parameters written so far
  Result result_;
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_DESCRIBE_DETAIL_ENCODER_H_

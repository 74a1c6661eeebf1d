// The visitor that parses a description strictly: reads each field from a range of bytes in
// wire order, never past its end, never acting on a fill value, and stops at the first field
// that fails, naming it and why. With kRecord it also appends a dump row for each field read.
// Internal to the description facility.
#ifndef ORVELPDU_DESCRIBE_DETAIL_PARSER_H_
#define ORVELPDU_DESCRIBE_DETAIL_PARSER_H_

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/describe/Dump.h"
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
#include "orvelpdu/tlv/TLVFrame.h"

namespace orvelpdu::detail {

// Whether a parameter of this type can hold `length` value bytes exactly as received: a
// string stops at a NUL and a presence flag drops its bytes, so either would encode back to
// other bytes. Lengths the type's limits refuse are caught when the value is taken.
inline bool carriesAsReceived(const CTLV&, const unsigned char*, std::size_t) { return true; }
inline bool carriesAsReceived(const CTLVString&, const unsigned char* value, std::size_t length) {
  return length == 0 || std::memchr(value, 0, length) == nullptr;
}
inline bool carriesAsReceived(const CTLVEmpty&, const unsigned char*, std::size_t length) {
  return length == 0;
}

// A parameter's value as a dump shows it.
inline std::string parameterText(const CTLV&, const unsigned char* value, std::size_t length) {
  return hexBytes(std::string_view(reinterpret_cast<const char*>(value), length));
}
inline std::string parameterText(const CTLVString&, const unsigned char* value,
                                 std::size_t length) {
  return quoteText(std::string_view(reinterpret_cast<const char*>(value), length));
}
inline std::string parameterText(const CTLVEmpty&, const unsigned char*, std::size_t) {
  return "present";
}
inline std::string parameterText(const CTLVByte& tlv, const unsigned char*, std::size_t) {
  return std::to_string(static_cast<int>(tlv.getValue()));
}
inline std::string parameterText(const CTLVUByte& tlv, const unsigned char*, std::size_t) {
  return std::to_string(tlv.getValue());
}
inline std::string parameterText(const CTLVShort& tlv, const unsigned char*, std::size_t) {
  return std::to_string(tlv.getValue());
}
inline std::string parameterText(const CTLVInt& tlv, const unsigned char*, std::size_t) {
  return std::to_string(tlv.getValue());
}

inline std::string tagText(std::uint16_t tag) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(tag));
  return text;
}

template <bool kRecord>
class Parser {
 public:
  // Parses [begin, end), whose first byte lies `base` bytes into the PDU (for dump offsets).
  // Unknown parameters go to `keep` when it is not null and are skipped otherwise; rows go to
  // `rows` (kRecord only).
  Parser(const unsigned char* begin, const unsigned char* end, std::size_t base,
         UnknownParameters* keep, std::vector<DumpRow>* rows)
      : begin_(begin), pos_(begin), end_(end), base_(base), keep_(keep), rows_(rows) {}

  bool failed() const { return !result_.ok(); }
  Result take() { return std::move(result_); }
  std::size_t consumed() const { return static_cast<std::size_t>(pos_ - begin_); }
  std::size_t left() const { return static_cast<std::size_t>(end_ - pos_); }

  template <WireInteger T>
  void field(const char* name, T& value) {
    if (failed()) return;
    if (left() < sizeof(T)) return fail(Outcome::kCutShort, name);
    if constexpr (sizeof(T) == 1) {
      value = static_cast<T>(pos_[0]);
    } else if constexpr (sizeof(T) == 2) {
      value = static_cast<T>(loadBig16(pos_));
    } else {
      value = static_cast<T>(loadBig32(pos_));
    }
    if constexpr (kRecord) record(name, sizeof(T), std::to_string(+value));
    pos_ += sizeof(T);
  }

  template <TextValue T>
  void cstring(const char* name, T& text, std::size_t maxLength) {
    if (failed()) return;
    // The scan stops one byte past the longest text allowed, so its cost is bounded by the
    // limit as well as by the bytes.
    const std::size_t scan = std::min(left(), maxLength == kNoLimit ? maxLength : maxLength + 1);
    const void* nul = std::memchr(pos_, 0, scan);
    if (nul == nullptr) {
      return fail(left() > maxLength ? Outcome::kOverLimit : Outcome::kNulMissing, name);
    }
    const auto length = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - pos_);
    assignBytes(text, pos_, length);
    if constexpr (kRecord) record(name, length + 1, quoteText(bytesOf(text)));
    pos_ += length + 1;
  }

  template <TextValue T>
  void prefixed(const char* name, Width width, T& value, std::size_t maxLength) {
    if (failed()) return;
    std::uint32_t length = 0;
    const auto prefix = static_cast<std::size_t>(width);
    if (!readCount(width, length)) return fail(Outcome::kCutShort, name);
    if (length > maxLength) {
      return fail(Outcome::kOverLimit, name,
                  std::to_string(length) + ", at most " + std::to_string(maxLength));
    }
    if (length > left() - prefix) return fail(Outcome::kCutShort, name);
    assignBytes(value, pos_ + prefix, length);
    if constexpr (kRecord) {
      const std::string_view bytes = bytesOf(value);
      record(name, prefix + length,
             std::is_same_v<T, CIPByteBuffer> ? hexBytes(bytes) : quoteText(bytes));
    }
    pos_ += prefix + length;
  }

  template <std::size_t N>
  void fixed(const char* name, std::array<unsigned char, N>& bytes) {
    if (failed()) return;
    if (left() < N) return fail(Outcome::kCutShort, name);
    std::memcpy(bytes.data(), pos_, N);
    if constexpr (kRecord) {
      record(name, N, hexBytes(std::string_view(reinterpret_cast<const char*>(pos_), N)));
    }
    pos_ += N;
  }

  template <class List>
  void list(const char* name, List& items) {
    if (failed()) return;
    items.resetValues();
    std::uint32_t count = 0;
    if (!readCount(List::kWidth, count)) return fail(Outcome::kCutShort, name, "count");
    if (count > static_cast<std::uint32_t>(List::kMax)) {
      return fail(Outcome::kOverLimit, name,
                  std::to_string(count) + " items, at most " + std::to_string(List::kMax));
    }
    if constexpr (kRecord)
      record(name, static_cast<std::size_t>(List::kWidth), std::to_string(count) + " items");
    pos_ += static_cast<std::size_t>(List::kWidth);
    // Each item takes at least one byte, so the work and the storage are bounded by the
    // bytes held.
    items.reserveItems(std::min<std::size_t>(count, left()));
    for (std::uint32_t i = 0; i < count; ++i) {
      auto item = std::make_unique<typename List::ItemType>();
      const unsigned char* const start = pos_;
      if constexpr (kRecord) {
        nested(indexed(name, i), *item);
      } else {
        item->describe(*this);
        if (failed()) result_.nestUnder(indexed(name, i));
      }
      if (failed()) return;
      if (pos_ == start) return fail(Outcome::kNothingConsumed, indexed(name, i));
      if (items.addValue(item.get()) != 0) item.release();
    }
  }

  template <class Item>
  void item(const char* name, Item& inner) {
    if (failed()) return;
    nested(name, inner);
  }

  template <class... Tlv>
  void parameters(Param<Tlv>... params) {
    if (failed()) return;
    (reset(params), ...);
    while (!failed() && pos_ != end_) {
      if (left() < TLVFrameHead::kSize) {
        return fail(Outcome::kCutShort, "parameters", "a parameter needs 4 bytes");
      }
      const std::uint16_t tag = loadBig16(pos_);
      const std::size_t length = loadBig16(pos_ + 2);
      if (length > left() - TLVFrameHead::kSize)
        return fail(Outcome::kCutShort, nameOf(tag, params...));
      const bool known = (take(params, tag, length) || ...);
      if (failed()) return;
      if (!known) unknown(tag, length);
      pos_ += TLVFrameHead::kSize + length;
    }
  }

 private:
  template <class Item>
  void nested(const std::string& name, Item& inner) {
    const std::size_t saved = prefix_.size();
    if constexpr (kRecord) prefix_ += name + ".";
    inner.describe(*this);
    if constexpr (kRecord) prefix_.resize(saved);
    if (failed()) result_.nestUnder(name);
  }

  static std::string indexed(const char* name, std::uint32_t index) {
    return std::string(name) + "[" + std::to_string(index) + "]";
  }

  // A parameter without a value has nothing to clear; one with a value starts afresh.
  template <class Tlv>
  static void reset(const Param<Tlv>& p) {
    if (p.tlv.hasValue() != 0) p.tlv = Tlv();
  }

  // The value of a fixed-width parameter of the library's own types, set straight from the
  // bytes: exactly what their setValueData does, without a view of the value.
  template <class Tlv>
  static bool takeFixed(Tlv& tlv, std::uint16_t tag, const unsigned char* value,
                        std::size_t length) {
    if constexpr (std::is_same_v<Tlv, CTLVByte>) {
      if (length != 1) return false;
      tlv.setValue(value[0]);
    } else if constexpr (std::is_same_v<Tlv, CTLVUByte>) {
      if (length != 1) return false;
      tlv.setValue(static_cast<short>(value[0]));
    } else if constexpr (std::is_same_v<Tlv, CTLVShort>) {
      if (length != 2) return false;
      tlv.setValue(static_cast<short>(loadBig16(value)));
    } else if constexpr (std::is_same_v<Tlv, CTLVInt>) {
      if (length != 4) return false;
      tlv.setValue(static_cast<int>(loadBig32(value)));
    } else {
      if (length != 0) return false;
      tlv.setValue(1);
    }
    tlv.setTag(static_cast<short>(tag));
    return true;
  }

  // What takeTLVValue does, for a parameter of exactly the library's string or octets type:
  // its value code is called directly, without a virtual call.
  template <class Tlv>
  static bool takeExact(Tlv& tlv, std::uint16_t tag, const unsigned char* value,
                        std::size_t length) {
    bool taken = false;
    if (tlv.checkLength(static_cast<int>(length)) == 1) {
      CIPByteBuffer view;
      LentFront::lendBytes(value, static_cast<int>(length), view);
      taken = tlv.Tlv::setValueData(view) != 0;
    }
    tlv.setTag(static_cast<short>(tag));
    return taken;
  }

  template <class Tlv>
  static bool takeValue(Tlv& tlv, std::uint16_t tag, const unsigned char* value,
                        std::size_t length) {
    if constexpr (std::is_same_v<Tlv, CTLVByte> || std::is_same_v<Tlv, CTLVUByte> ||
                  std::is_same_v<Tlv, CTLVShort> || std::is_same_v<Tlv, CTLVInt> ||
                  std::is_same_v<Tlv, CTLVEmpty>) {
      return takeFixed(tlv, tag, value, length);
    } else if constexpr (std::is_same_v<Tlv, CTLVString> || std::is_same_v<Tlv, CTLVOctets>) {
      return carriesAsReceived(tlv, value, length) && takeExact(tlv, tag, value, length);
    } else {
      return carriesAsReceived(tlv, value, length) &&
             takeTLVValue(tlv, static_cast<short>(tag), value, static_cast<int>(length)) ==
                 TLVFrameResult::kTaken;
    }
  }

  // Inlined into the search by tag, so that a parameter the tag is not for costs a comparison.
  template <class Tlv>
  ORVELPDU_ALWAYS_INLINE bool take(const Param<Tlv>& p, std::uint16_t tag, std::size_t length) {
    if (p.tag != tag) return false;
    // Every parameter was reset, so one that holds a value was taken from this PDU already.
    if (p.tlv.hasValue() != 0) {
      fail(Outcome::kParameterTwice, p.name);
      return true;
    }
    const unsigned char* value = pos_ + TLVFrameHead::kSize;
    if (!takeValue(p.tlv, tag, value, length)) {
      // A string parameter refuses a value it carries only when its storage could not be had:
      // no fault of the sender's, so it goes on as the allocation failure it was.
      if constexpr (std::is_base_of_v<CTLVString, Tlv>) {
        if (carriesAsReceived(p.tlv, value, length)) throw std::bad_alloc();
      }
      fail(Outcome::kParameterRefused, p.name, std::to_string(length) + " value bytes");
      return true;
    }
    if constexpr (kRecord) {
      record(p.name, TLVFrameHead::kSize + length, parameterText(p.tlv, value, length));
    }
    ++taken_;
    return true;
  }

  void unknown(std::uint16_t tag, std::size_t length) {
    const unsigned char* value = pos_ + TLVFrameHead::kSize;
    if (keep_ != nullptr) keep_->add(tag, value, static_cast<int>(length), taken_);
    if constexpr (kRecord) {
      record("parameters." + tagText(tag), TLVFrameHead::kSize + length,
             hexBytes(std::string_view(reinterpret_cast<const char*>(value), length)));
    }
  }

  template <class... Tlv>
  static std::string nameOf(std::uint16_t tag, const Param<Tlv>&... params) {
    std::string name = "parameters." + tagText(tag);
    ((params.tag == tag ? (name = params.name, 0) : 0), ...);
    return name;
  }

  // The count or length field of `width` at the read position, without moving past it.
  bool readCount(Width width, std::uint32_t& value) const {
    const auto size = static_cast<std::size_t>(width);
    if (left() < size) return false;
    value = size == 1 ? pos_[0] : size == 2 ? loadBig16(pos_) : loadBig32(pos_);
    return true;
  }

  void record(std::string_view name, std::size_t width, std::string value) {
    std::string path = prefix_;
    path += name;
    rows_->push_back({base_ + consumed(), width, std::move(path), std::move(value)});
  }

  void fail(Outcome outcome, const std::string& name, std::string detail = std::string()) {
    result_ = Result(outcome, name, std::move(detail));
  }

  const unsigned char* begin_;
  const unsigned char* pos_;
  const unsigned char* end_;
  std::size_t base_;
  UnknownParameters* keep_;
  std::vector<DumpRow>* rows_;
  std::string prefix_;  // path of the item being parsed, kRecord only
  int taken_ = 0;       // described parameters taken so far
  Result result_;
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_DESCRIBE_DETAIL_PARSER_H_

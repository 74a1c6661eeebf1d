// The vocabulary of descriptions: what a described PDU or item names in its describe function.
//
// A described class lists its fields once, in wire order, in one member function template
//
//   template <class V> void describe(V& v) {
//     v.field("priority", priority);                      // integers: width from the type
//     v.cstring("sender", sender, 64);                    // NUL-ended text, at most 64 chars
//     v.prefixed("text", orvelpdu::Width::k2, text, 65535);  // length-prefixed text or octets
//     v.fixed("key", key);                                // std::array<unsigned char, N>
//     v.list("recipients", recipients);                   // DescribedList<Item, width, max>
//     v.item("origin", origin);                           // a nested described item
//     v.parameters(orvelpdu::param("reference", 0x0101, reference), ...);  // PDUs only, last
//   }
//
// and the library's visitors walk it to encode, parse strictly, dump and compare. Integer
// fields are unsigned char and signed char (1 byte), short and unsigned short (2), int and
// unsigned int (4), big-endian. Field names are the paths that results and dumps report.
#ifndef ORVELPDU_DESCRIBE_FIELDS_H_
#define ORVELPDU_DESCRIBE_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "orvelpdu/tlv/CTLV.h"

namespace orvelpdu {

// The maximum length of a text or octets field that has none beyond its bytes and its length
// field's width.
inline constexpr std::size_t kNoLimit = SIZE_MAX;

// The width of a length prefix or a list count, in bytes; unsigned on the wire.
enum class Width : unsigned char { k1 = 1, k2 = 2, k4 = 4 };

// The largest value a field of `width` can state.
constexpr std::uint32_t maxOfWidth(Width width) {
  return width == Width::k1 ? 0xFFu : width == Width::k2 ? 0xFFFFu : 0xFFFFFFFFu;
}

// One optional parameter of a described PDU: its name, its tag as the wire's unsigned 16-bit
// value, and the CTLV member that holds its value (any class derived from CTLV).
template <class Tlv>
struct Param {
  static_assert(std::is_base_of_v<CTLV, Tlv>, "a parameter is held by a CTLV");
  const char* name;
  std::uint16_t tag;
  Tlv& tlv;
};

template <class Tlv>
Param<Tlv> param(const char* name, std::uint16_t tag, Tlv& tlv) {
  return Param<Tlv>{name, tag, tlv};
}

// What a described PDU does with parameters whose tags it does not describe: skip them, or
// keep them in received order and send them again when encoding (a gateway forwarding what it
// does not understand). A PDU chooses by declaring
//   static constexpr orvelpdu::Unknown kUnknownParameters = orvelpdu::Unknown::kKeep;
// and skips without it.
enum class Unknown : unsigned char { kSkip, kKeep };

namespace detail {

template <class T>
concept WireInteger = std::is_same_v<T, unsigned char> || std::is_same_v<T, signed char> ||
    std::is_same_v<T, short> || std::is_same_v<T, unsigned short> || std::is_same_v<T, int> ||
    std::is_same_v<T, unsigned int>;

template <class T>
constexpr Unknown unknownPolicy() {
  if constexpr (requires { T::kUnknownParameters; }) {
    return T::kUnknownParameters;
  } else {
    return Unknown::kSkip;
  }
}

}  // namespace detail
}  // namespace orvelpdu

#endif  // ORVELPDU_DESCRIBE_FIELDS_H_

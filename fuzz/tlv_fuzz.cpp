// Fuzzing of the TLV frame and its seven value types. The input is parsed as one TLV by each
// type in turn, into a fresh object and into one that already holds a value; the result is
// checked against an independent reading of the frame (tag, 16-bit length, the value bytes
// that are there). What was taken is encoded again, parsed again and encoded once more: both
// parses must agree and both encodings must be the same bytes, which are the input's own frame
// whenever the value's wire form is canonical for its type.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/tlv/CTLVByte.h"
#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVString.h"
#include "orvelpdu/tlv/CTLVUByte.h"

namespace {

using orvelpdu::fuzz::bufferOf;
using orvelpdu::fuzz::Bytes;
using orvelpdu::fuzz::contentOf;

using orvelpdu::fuzz::check;

using orvelpdu::fuzz::bigEndian;
using orvelpdu::fuzz::loadBig;

// The frame as the wire states it, read without the library.
struct Frame {
  short tag;
  Bytes value;  // the value bytes that are actually there (fewer than stated when cut short)
  Bytes rest;   // what follows the frame
  bool whole;   // the input held the whole frame
};

Frame readFrame(const Bytes& in) {
  Frame f{};
  const uint16_t fill = 0xCDCD;
  f.tag = static_cast<short>(in.size() >= 2 ? loadBig(in, 0, 2) : fill);
  if (in.size() < 4) {
    f.whole = false;
    return f;
  }
  const size_t length = loadBig(in, 2, 2);
  const size_t there = std::min(length, in.size() - 4);
  f.value.assign(in.begin() + 4, in.begin() + 4 + static_cast<long>(there));
  f.rest.assign(in.begin() + 4 + static_cast<long>(there), in.end());
  f.whole = there == length;
  return f;
}

// Per type: how to give an object a value, what it holds, and which value bytes it takes.
struct ByteKind {
  using Tlv = CTLVByte;
  static constexpr const char* kName = "CTLVByte";
  static bool accepts(const Bytes& v) { return v.size() == 1; }
  static Bytes canonical(const Bytes& v) { return v; }
  static Bytes held(const Tlv& t) { return {t.getValue()}; }
  static void preset(Tlv& t) { t.setValue(0x5A); }
};

struct UByteKind {
  using Tlv = CTLVUByte;
  static constexpr const char* kName = "CTLVUByte";
  static bool accepts(const Bytes& v) { return v.size() == 1; }
  static Bytes canonical(const Bytes& v) { return v; }
  static Bytes held(const Tlv& t) {
    // A parsed unsigned byte is 0..255, never a negative short.
    check(t.getValue() >= 0 && t.getValue() <= 255, kName, "value outside 0..255");
    return {static_cast<uint8_t>(t.getValue())};
  }
  static void preset(Tlv& t) { t.setValue(200); }
};

struct ShortKind {
  using Tlv = CTLVShort;
  static constexpr const char* kName = "CTLVShort";
  static bool accepts(const Bytes& v) { return v.size() == 2; }
  static Bytes canonical(const Bytes& v) { return v; }
  static Bytes held(const Tlv& t) { return bigEndian(static_cast<uint16_t>(t.getValue()), 2); }
  static void preset(Tlv& t) { t.setValue(-2); }
};

struct IntKind {
  using Tlv = CTLVInt;
  static constexpr const char* kName = "CTLVInt";
  static bool accepts(const Bytes& v) { return v.size() == 4; }
  static Bytes canonical(const Bytes& v) { return v; }
  static Bytes held(const Tlv& t) { return bigEndian(static_cast<uint32_t>(t.getValue()), 4); }
  static void preset(Tlv& t) { t.setValue(-842150451); }
};

struct EmptyKind {
  using Tlv = CTLVEmpty;
  static constexpr const char* kName = "CTLVEmpty";
  static bool accepts(const Bytes&) { return true; }
  static Bytes canonical(const Bytes&) { return {}; }
  static Bytes held(const Tlv&) { return {}; }
  static void preset(Tlv& t) { t.setValue(7); }
};

struct OctetsKind {
  using Tlv = CTLVOctets;
  static constexpr const char* kName = "CTLVOctets";
  static bool accepts(const Bytes&) { return true; }
  static Bytes held(const Tlv& t) {
    CIPByteBuffer out;
    t.getValue(out);
    return contentOf(out);
  }
  static void preset(Tlv& t) {
    CIPByteBuffer b = bufferOf({0xAB, 0xCD});
    t.setValue(b);
  }
};

struct StringKind {
  using Tlv = CTLVString;
  static constexpr const char* kName = "CTLVString";
  static bool accepts(const Bytes&) { return true; }
  // The text ends at the first zero byte; what follows it is not part of the value.
  static Bytes canonical(const Bytes& v) {
    if (v.empty()) return v;
    const auto* nul = static_cast<const uint8_t*>(std::memchr(v.data(), 0, v.size()));
    return nul == nullptr ? v : Bytes(v.data(), nul);
  }
  static Bytes held(const Tlv& t) {
    CString s;
    t.getValue(s);
    const auto* p = reinterpret_cast<const uint8_t*>(static_cast<const char*>(s));
    return Bytes(p, p + s.GetLength());
  }
  static void preset(Tlv& t) { t.setValue(CString("prior")); }
};

// The value a parse of `frame` must leave in an object that held `before` (with `hadValue`).
template <class Kind>
bool expectedValue(const Frame& frame, bool hadValue, const Bytes& before, Bytes* value) {
  if (!Kind::accepts(frame.value)) {
    *value = before;
    return hadValue;
  }
  // An empty octet string keeps the bytes the object had: setValue moves nothing in.
  if constexpr (std::is_same_v<Kind, OctetsKind>) {
    *value = frame.value.empty() ? before : frame.value;
  } else {
    *value = Kind::canonical(frame.value);
  }
  return true;
}

template <class Kind>
Bytes encoded(typename Kind::Tlv& tlv) {
  CIPByteBuffer out = bufferOf({0xEE});  // encoding appends behind what is there
  const int result = tlv.getData(out);
  Bytes bytes = contentOf(out);
  check(!bytes.empty() && bytes[0] == 0xEE, Kind::kName, "getData disturbed earlier bytes");
  if (tlv.hasValue() == 0) {
    check(result == 0 && bytes.size() == 1, Kind::kName, "a TLV without a value writes nothing");
  } else {
    check(result == 1, Kind::kName, "getData result");
  }
  return Bytes(bytes.begin() + 1, bytes.end());
}

template <class Kind>
void parseInto(typename Kind::Tlv& tlv, const Bytes& input, const Frame& frame) {
  const bool hadValue = tlv.hasValue() != 0;
  const Bytes before = hadValue ? Kind::held(tlv) : Bytes{};
  Bytes value;
  const bool hasValue = expectedValue<Kind>(frame, hadValue, before, &value);

  CIPByteBuffer in = bufferOf(input);
  check(tlv.setData(in) == 1, Kind::kName, "setData result");
  check(contentOf(in) == frame.rest, Kind::kName, "bytes left after the frame");
  check(tlv.getTag() == frame.tag, Kind::kName, "tag");
  check((tlv.hasValue() != 0) == hasValue, Kind::kName, "value-set flag");
  if (!hasValue) return;
  check(Kind::held(tlv) == value, Kind::kName, "value");
  if constexpr (std::is_same_v<Kind, EmptyKind>) {
    check(tlv.getValue() == 1, Kind::kName, "a parsed presence flag holds 1");
  }

  // Encode, parse again, encode again: the same value and the same bytes each time.
  const Bytes first = encoded<Kind>(tlv);
  Bytes expected = bigEndian(static_cast<uint16_t>(frame.tag), 2);
  const Bytes valueWire = std::is_same_v<Kind, EmptyKind> ? Bytes{} : value;
  const Bytes length = bigEndian(static_cast<uint32_t>(valueWire.size()), 2);
  expected.insert(expected.end(), length.begin(), length.end());
  expected.insert(expected.end(), valueWire.begin(), valueWire.end());
  check(first == expected, Kind::kName, "re-encoded frame");
  check(tlv.getLength() == static_cast<int>(valueWire.size()), Kind::kName, "getLength");
  if (frame.whole && valueWire == frame.value) {
    const Bytes own(input.begin(), input.end() - static_cast<long>(frame.rest.size()));
    check(first == own, Kind::kName, "a canonical frame re-encodes to its own bytes");
  }

  typename Kind::Tlv again;
  CIPByteBuffer second = bufferOf(first);
  again.setData(second);
  check(second.isEmpty() == 1, Kind::kName, "the re-encoded frame is consumed whole");
  check(again.hasValue() == 1 && again.getTag() == tlv.getTag(), Kind::kName, "second parse");
  check(Kind::held(again) == value, Kind::kName, "second parse value");
  check(encoded<Kind>(again) == first, Kind::kName, "second encoding");

  // Copies carry tag, flag and value, and encode alike.
  typename Kind::Tlv copy(tlv);
  typename Kind::Tlv assigned;
  assigned = tlv;
  check(encoded<Kind>(copy) == first && encoded<Kind>(assigned) == first, Kind::kName, "copies");
}

template <class Kind>
void fuzzType(const Bytes& input, const Frame& frame) {
  typename Kind::Tlv fresh;
  parseInto<Kind>(fresh, input, frame);
  typename Kind::Tlv filled(static_cast<short>(0x7777));
  Kind::preset(filled);
  parseInto<Kind>(filled, input, frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  const Bytes input(data, data + size);
  const Frame frame = readFrame(input);
  fuzzType<ByteKind>(input, frame);
  fuzzType<UByteKind>(input, frame);
  fuzzType<ShortKind>(input, frame);
  fuzzType<IntKind>(input, frame);
  fuzzType<EmptyKind>(input, frame);
  fuzzType<OctetsKind>(input, frame);
  fuzzType<StringKind>(input, frame);
  return 0;
}

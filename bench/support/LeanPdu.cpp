#include "support/LeanPdu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/HandWire.h"

namespace orvelpdu::bench {
namespace {

constexpr std::size_t kHeader = 16;
constexpr int kOctets = 160;

enum Tag : std::uint16_t {
  kByte = 0x0201,
  kUByte = 0x0202,
  kShort = 0x0203,
  kInt = 0x0204,
  kEmpty = 0x0205,
  kOctetsTag = 0x0206,
  kString = 0x0207,
};

const char* const kFields[4] = {"CMT", "+4915112345678", "+4917012345601", "lean-client"};
const char* const kStringValue = "+4930123456";
const unsigned char kOctetsValue[] = {0x05, 0x00, 0x03, 0x2A, 0x02, 0x01};

}  // namespace

// ---- Library side ----

LeanPdu::LeanPdu()
    : byteTlv(kByte),
      ubyteTlv(kUByte),
      shortTlv(kShort),
      intTlv(kInt),
      emptyTlv(kEmpty),
      octetsTlv(kOctetsTag),
      stringTlv(kString) {
  setCommandId(kCommandId);
}

int LeanPdu::getData(CIPByteBuffer& out) {
  const unsigned int start = out.getLength();
  getHeader(out);
  for (CString& field : fields) {
    out.appendCString(field);
    out.appendByte(0);
  }
  out.appendShort(static_cast<short>(octets.getLength()));
  out.appendBuffer(&octets);
  byteTlv.getData(out);
  ubyteTlv.getData(out);
  shortTlv.getData(out);
  intTlv.getData(out);
  emptyTlv.getData(out);
  octetsTlv.getData(out);
  stringTlv.getData(out);
  const unsigned int length = out.getLength() - start;
  setCommandLength(static_cast<int>(length));
  unsigned char* p = out.getBuffer() + start;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(length >> (24 - 8 * i));
  return 1;
}

int LeanPdu::setData(CIPByteBuffer& in) {
  setHeader(in);
  for (CString& field : fields) in.removeCString(field);
  const int count = static_cast<unsigned short>(in.removeShort());
  in.removeBytes(count, octets);
  while (!in.isEmpty()) {
    switch (static_cast<std::uint16_t>(in.readShort())) {
      case kByte:
        byteTlv.setData(in);
        break;
      case kUByte:
        ubyteTlv.setData(in);
        break;
      case kShort:
        shortTlv.setData(in);
        break;
      case kInt:
        intTlv.setData(in);
        break;
      case kEmpty:
        emptyTlv.setData(in);
        break;
      case kOctetsTag:
        octetsTlv.setData(in);
        break;
      case kString:
        stringTlv.setData(in);
        break;
      default: {
        CTLVOctets skipped;
        skipped.setData(in);
      }
    }
  }
  return 1;
}

namespace {

template <class Pdu>
void fill(Pdu& pdu) {
  for (int i = 0; i < 4; ++i) pdu.fields[i] = kFields[i];
  for (int i = 0; i < kOctets; ++i) pdu.octets.appendByte(static_cast<unsigned char>(i * 7));
  pdu.byteTlv.setValue(0x7E);
  pdu.ubyteTlv.setValue(200);
  pdu.shortTlv.setValue(-2);
  pdu.intTlv.setValue(86400);
  pdu.emptyTlv.setValue(1);
  CIPByteBuffer bytes;
  bytes.appendBytes0(const_cast<unsigned char*>(kOctetsValue), sizeof kOctetsValue);
  pdu.octetsTlv.setValue(bytes);
  pdu.stringTlv.setValue(CString(kStringValue));
}

}  // namespace

void fillLean(LeanPdu& pdu) { fill(pdu); }
void fillLean(DescribedLean& pdu) { fill(pdu); }

// ---- Hand-written side ----

namespace {

std::uint8_t* putTlv(std::uint8_t* p, std::uint16_t tag, const void* value, std::size_t n) {
  p = put16(p, tag);
  p = put16(p, static_cast<std::uint16_t>(n));
  if (n > 0) std::memcpy(p, value, n);
  return p + n;
}

}  // namespace

std::size_t handSize(const HandLean& m) {
  std::size_t n = kHeader + 2 + m.octets.size();
  for (const std::string& field : m.fields) n += field.size() + 1;
  // Frames of the seven TLVs, then their values: 1 + 1 + 2 + 4 + 0 + octets + string.
  return n + 7 * 4 + 8 + m.octetsValue.size() + m.stringValue.size();
}

std::size_t encodeHand(const HandLean& m, std::uint8_t* out) {
  const std::size_t size = handSize(m);
  std::uint8_t* p = put32(out, static_cast<std::uint32_t>(size));
  p = put32(p, static_cast<std::uint32_t>(m.commandId));
  p = put32(p, static_cast<std::uint32_t>(m.commandStatus));
  p = put32(p, static_cast<std::uint32_t>(m.sequenceNumber));
  for (const std::string& field : m.fields) {
    std::memcpy(p, field.c_str(), field.size() + 1);
    p += field.size() + 1;
  }
  p = put16(p, static_cast<std::uint16_t>(m.octets.size()));
  std::memcpy(p, m.octets.data(), m.octets.size());
  p += m.octets.size();
  p = putTlv(p, kByte, &m.byteValue, 1);
  p = putTlv(p, kUByte, &m.ubyteValue, 1);
  std::uint8_t wide[4];
  put16(wide, static_cast<std::uint16_t>(m.shortValue));
  p = putTlv(p, kShort, wide, 2);
  put32(wide, static_cast<std::uint32_t>(m.intValue));
  p = putTlv(p, kInt, wide, 4);
  p = putTlv(p, kEmpty, nullptr, 0);
  p = putTlv(p, kOctetsTag, m.octetsValue.data(), m.octetsValue.size());
  p = putTlv(p, kString, m.stringValue.data(), m.stringValue.size());
  return static_cast<std::size_t>(p - out);
}

bool parseHand(const std::uint8_t* in, std::size_t size, HandLean& m) {
  if (size < kHeader) return false;
  m.commandLength = static_cast<std::int32_t>(get32(in));
  m.commandId = static_cast<std::int32_t>(get32(in + 4));
  m.commandStatus = static_cast<std::int32_t>(get32(in + 8));
  m.sequenceNumber = static_cast<std::int32_t>(get32(in + 12));
  const std::uint8_t* p = in + kHeader;
  const std::uint8_t* end = in + size;
  for (std::string& field : m.fields) {
    const void* nul = std::memchr(p, 0, static_cast<std::size_t>(end - p));
    if (nul == nullptr) return false;
    const auto* stop = static_cast<const std::uint8_t*>(nul);
    field.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(stop - p));
    p = stop + 1;
  }
  if (end - p < 2) return false;
  const std::size_t count = get16(p);
  p += 2;
  if (static_cast<std::size_t>(end - p) < count) return false;
  m.octets.assign(p, p + count);
  p += count;
  while (p < end) {
    if (end - p < 4) return false;
    const std::uint16_t tag = get16(p);
    const std::size_t n = get16(p + 2);
    p += 4;
    if (static_cast<std::size_t>(end - p) < n) return false;
    switch (tag) {
      case kByte:
        m.byteValue = static_cast<std::int8_t>(p[0]);
        break;
      case kUByte:
        m.ubyteValue = p[0];
        break;
      case kShort:
        m.shortValue = static_cast<std::int16_t>(get16(p));
        break;
      case kInt:
        m.intValue = static_cast<std::int32_t>(get32(p));
        break;
      case kEmpty:
        m.empty = true;
        break;
      case kOctetsTag:
        m.octetsValue.assign(p, p + n);
        break;
      case kString:
        m.stringValue.assign(reinterpret_cast<const char*>(p), n);
        break;
      default:
        break;
    }
    p += n;
  }
  return true;
}

HandLean leanMessage() {
  HandLean m;
  for (int i = 0; i < 4; ++i) m.fields[i] = kFields[i];
  for (int i = 0; i < kOctets; ++i) m.octets.push_back(static_cast<std::uint8_t>(i * 7));
  m.byteValue = 0x7E;
  m.ubyteValue = 200;
  m.shortValue = -2;
  m.intValue = 86400;
  m.empty = true;
  m.octetsValue.assign(kOctetsValue, kOctetsValue + sizeof kOctetsValue);
  m.stringValue = kStringValue;
  return m;
}

// ---- Start-up check ----

namespace {

std::vector<std::uint8_t> bytesOf(CIPByteBuffer& buffer) {
  const unsigned char* p = buffer.getBuffer();
  return std::vector<std::uint8_t>(p, p + buffer.getLength());
}

std::vector<std::uint8_t> handBytes(const HandLean& m) {
  std::vector<std::uint8_t> out(handSize(m));
  out.resize(encodeHand(m, out.data()));
  return out;
}

[[noreturn]] void differ(const char* what, const std::vector<std::uint8_t>& lib,
                         const std::vector<std::uint8_t>& hand) {
  std::fprintf(stderr, "lean PDU: the library and its hand-written twin differ (%s)\n  lib ", what);
  for (std::uint8_t b : lib) std::fprintf(stderr, "%02X", b);
  std::fprintf(stderr, "\n  hand ");
  for (std::uint8_t b : hand) std::fprintf(stderr, "%02X", b);
  std::fprintf(stderr, "\n");
  std::abort();
}

}  // namespace

void checkLeanTwinsAgree() {
  LeanPdu pdu;
  fillLean(pdu);
  CIPByteBuffer wire;
  pdu.getData(wire);
  const std::vector<std::uint8_t> lib = bytesOf(wire);
  const std::vector<std::uint8_t> hand = handBytes(leanMessage());
  if (lib != hand) differ("encoding", lib, hand);

  // Each side parses the other's bytes and encodes them again.
  HandLean parsed;
  if (!parseHand(lib.data(), lib.size(), parsed)) differ("twin refuses library bytes", lib, hand);
  if (handBytes(parsed) != lib) differ("twin re-encoding", lib, handBytes(parsed));
  CIPByteBuffer in;
  in.appendBytes0(const_cast<std::uint8_t*>(hand.data()), static_cast<int>(hand.size()));
  LeanPdu again;
  again.setData(in);
  CIPByteBuffer out;
  again.getData(out);
  if (bytesOf(out) != hand) differ("library re-encoding", bytesOf(out), hand);
}

}  // namespace orvelpdu::bench

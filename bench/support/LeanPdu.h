// A lean client PDU, written the way a new user of the library would write one, and its
// hand-written twin. Both carry the same content and produce the same bytes:
//
//   header    16 bytes (command length, id 0x00000031, status, sequence number)
//   body      four C-string fields, each ended by a NUL; a 2-byte big-endian count and that
//             many octets (160 in the benchmarks)
//   TLVs      seven, one of each type: byte 0x0201, unsigned byte 0x0202, short 0x0203,
//             int 0x0204, empty 0x0205, octets 0x0206, string 0x0207
//
// Parsing makes none of the example protocol's extra checks: the header is taken as it
// comes, and each TLV goes to the member whose tag it carries (others are skipped).
#ifndef ORVELPDU_BENCH_SUPPORT_LEANPDU_H_
#define ORVELPDU_BENCH_SUPPORT_LEANPDU_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "orvelpdu/orvelpdu.h"

namespace orvelpdu::bench {

class LeanPdu : public CPDU {
 public:
  static constexpr int kCommandId = 0x00000031;

  LeanPdu();

  // Encodes the whole PDU into `out` in one pass, the command length patched in place.
  int getData(CIPByteBuffer& out) override;
  // Parses one PDU from the front of `in`. Returns 1.
  int setData(CIPByteBuffer& in) override;

  CString fields[4];
  CIPByteBuffer octets;
  CTLVByte byteTlv;
  CTLVUByte ubyteTlv;
  CTLVShort shortTlv;
  CTLVInt intTlv;
  CTLVEmpty emptyTlv;
  CTLVOctets octetsTlv;
  CTLVString stringTlv;
};

// The same PDU described once: the same bytes, parsed strictly.
class DescribedLean : public orvelpdu::DescribedPDU<DescribedLean> {
 public:
  static constexpr std::uint32_t kCommandId = LeanPdu::kCommandId;

  CString fields[4];
  CIPByteBuffer octets;
  CTLVByte byteTlv;
  CTLVUByte ubyteTlv;
  CTLVShort shortTlv;
  CTLVInt intTlv;
  CTLVEmpty emptyTlv;
  CTLVOctets octetsTlv;
  CTLVString stringTlv;

  template <class V>
  void describe(V& v) {
    v.cstring("field0", fields[0], 255);
    v.cstring("field1", fields[1], 255);
    v.cstring("field2", fields[2], 255);
    v.cstring("field3", fields[3], 255);
    v.prefixed("octets", orvelpdu::Width::k2, octets, 65535);
    v.parameters(
        orvelpdu::param("byte", 0x0201, byteTlv), orvelpdu::param("ubyte", 0x0202, ubyteTlv),
        orvelpdu::param("short", 0x0203, shortTlv), orvelpdu::param("int", 0x0204, intTlv),
        orvelpdu::param("empty", 0x0205, emptyTlv), orvelpdu::param("octets", 0x0206, octetsTlv),
        orvelpdu::param("string", 0x0207, stringTlv));
  }
};

struct HandLean {
  std::int32_t commandLength = 0;
  std::int32_t commandId = LeanPdu::kCommandId;
  std::int32_t commandStatus = 0;
  std::int32_t sequenceNumber = 1;
  std::string fields[4];
  std::vector<std::uint8_t> octets;
  std::int8_t byteValue = 0;
  std::uint8_t ubyteValue = 0;
  std::int16_t shortValue = 0;
  std::int32_t intValue = 0;
  bool empty = false;
  std::vector<std::uint8_t> octetsValue;
  std::string stringValue;
};

// Bytes encodeHand writes for `message`.
std::size_t handSize(const HandLean& message);
// Writes the PDU to `out` (handSize bytes) and returns the number written.
std::size_t encodeHand(const HandLean& message, std::uint8_t* out);
// Parses one PDU of `size` bytes at `in` into `message`, reusing its storage; false when the
// bytes end inside a field.
bool parseHand(const std::uint8_t* in, std::size_t size, HandLean& message);

// The benchmarks' content, through the library and for the twin.
void fillLean(LeanPdu& pdu);
void fillLean(DescribedLean& pdu);
HandLean leanMessage();

// Encodes the content both ways and parses each side's bytes with the other side, aborting
// with both byte strings shown when anything differs.
void checkLeanTwinsAgree();

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_LEANPDU_H_

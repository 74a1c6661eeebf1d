// PDUs for the exchange tests. Ping and PingResp stand for described PDUs: a command id, a
// strict `Result parse` and `Result encode`, one 32-bit body field. Note is hand-written in
// the old style: setData answers 1 or 0 and the header's command id is the caller's business.
//
//   Ping      0x00000015   body: value (int)
//   PingResp  0x80000015   body: value (int)
//   Note      0x00000102   body: text, a C-string field ended by a NUL (setData 0 without it)
#ifndef ORVELPDU_TESTS_SUPPORT_EXCHANGEPDUS_H_
#define ORVELPDU_TESTS_SUPPORT_EXCHANGEPDUS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/pdu/CPDU.h"

namespace orvelpdu::test {

// A PDU of one 32-bit body field, parsed strictly: a whole header, the command id `Id`, a
// command length of exactly 20.
template <std::uint32_t Id>
class ValuePdu : public CPDU {
 public:
  static constexpr std::uint32_t kCommandId = Id;

  [[nodiscard]] Result parse(CIPByteBuffer& in);
  [[nodiscard]] Result encode(CIPByteBuffer& out);
  int setData(CIPByteBuffer& in) override { return parse(in).ok() ? 1 : 0; }
  int getData(CIPByteBuffer& out) override { return encode(out).ok() ? 1 : 0; }

  std::uint32_t value = 0;
};

using Ping = ValuePdu<0x00000015u>;
using PingResp = ValuePdu<0x80000015u>;

// The pairing rule of Ping and PingResp: a response id is its request's with the top bit set.
bool pingPairs(std::uint32_t responseId, std::uint32_t requestId);

class Note : public CPDU {
 public:
  static constexpr std::uint32_t kCommandId = 0x00000102u;
  int setData(CIPByteBuffer& in) override;
  int getData(CIPByteBuffer& out) override;
  std::string text;
};

// Wire bytes of one PDU, from its fields.
std::vector<unsigned char> wireOf(std::uint32_t commandId, std::uint32_t sequenceNumber,
                                  const std::vector<unsigned char>& body);
std::vector<unsigned char> pingWire(std::uint32_t commandId, std::uint32_t sequenceNumber,
                                    std::uint32_t value);

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_EXCHANGEPDUS_H_

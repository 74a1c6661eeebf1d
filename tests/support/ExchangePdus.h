// PDUs for the exchange tests. Ping and PingResp are described PDUs of one 32-bit body field.
// Note is hand-written in the old style: setData answers 1 or 0 and checks no command id.
//
//   Ping      0x00000015   body: value (int)
//   PingResp  0x80000015   body: value (int)
//   Note      0x00000102   body: text, a C-string field ended by a NUL (setData 0 without it)
#ifndef ORVELPDU_TESTS_SUPPORT_EXCHANGEPDUS_H_
#define ORVELPDU_TESTS_SUPPORT_EXCHANGEPDUS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/describe/DescribedPDU.h"
#include "orvelpdu/pdu/CPDU.h"

namespace orvelpdu::test {

// A described PDU of one 32-bit body field.
template <std::uint32_t Id>
class ValuePdu : public DescribedPDU<ValuePdu<Id>> {
 public:
  static constexpr std::uint32_t kCommandId = Id;

  std::uint32_t value = 0;

  template <class V>
  void describe(V& v) {
    v.field("value", value);
  }
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

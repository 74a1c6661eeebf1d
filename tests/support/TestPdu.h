// A concrete PDU for tests: the header, then a body of one field of each kind.
//
//   offset 0   header     16 bytes (CPDU::getHeader / setHeader)
//   offset 16  flags      byte
//   offset 17  port       short, big-endian
//   offset 19  amount     int, big-endian
//   offset 23  name       C-string field, ended by one NUL byte
//
// getData and setData are the two roads of a PDU: header step, then the body through the
// public body hooks. Like every PDU it computes no command length; tests set it. Copies share
// the header (CPDU's rule) and copy the body fields.
#ifndef ORVELPDU_TESTS_SUPPORT_TESTPDU_H_
#define ORVELPDU_TESTS_SUPPORT_TESTPDU_H_

#include <string>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/pdu/CPDU.h"

namespace orvelpdu::test {

class TestPdu : public CPDU {
 public:
  TestPdu() = default;
  // CPDU's int constructor, which ignores its argument.
  explicit TestPdu(int ignored) : CPDU(ignored) {}

  // Header and body bytes, for the command length of a PDU with `nameLength` characters.
  static int wireLength(int nameLength) { return 16 + 1 + 2 + 4 + nameLength + 1; }

  // Header step, then body. Always 1, as short input reads as fill values.
  int setData(CIPByteBuffer& buffer) override;
  int getData(CIPByteBuffer& buffer) override;
  int setBody(CIPByteBuffer& buffer) override;
  int getBody(CIPByteBuffer& buffer) override;

  unsigned char flags = 0;
  short port = 0;
  int amount = 0;
  std::string name;  // holds no NUL: the wire ends the field at the first one
};

}  // namespace orvelpdu::test

#endif  // ORVELPDU_TESTS_SUPPORT_TESTPDU_H_

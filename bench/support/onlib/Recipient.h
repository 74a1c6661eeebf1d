// One recipient of a text message: a 1-byte address type followed by the address as a
// NUL-ended C-string field.
//
//   type     1 byte
//   address  the characters, then one NUL byte
#ifndef ONLIB_RECIPIENT_H_
#define ONLIB_RECIPIENT_H_

#include <orvelpdu/orvelpdu.h>

namespace onlib {

class Recipient : public CIPByteData {
 public:
  Recipient() = default;
  Recipient(unsigned char type, const char* address);

  // Parses type and address. Returns 0, with the item marked incomplete, when the bytes end
  // before the address's NUL.
  int setData(CIPByteBuffer& buffer) override;
  // Appends type, address and the NUL. Returns 1.
  int getData(CIPByteBuffer& buffer) override;

  unsigned char type() const { return type_; }
  const CString& address() const { return address_; }
  // True when the last setData found the whole recipient; a built one is complete.
  bool complete() const { return complete_; }

 private:
  unsigned char type_ = 0;
  CString address_;
  bool complete_ = true;
};

}  // namespace onlib

#endif  // ONLIB_RECIPIENT_H_

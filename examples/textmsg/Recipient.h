// One recipient of a text message: a 1-byte address type, then the address as a NUL-ended
// text.
#ifndef TEXTMSG_RECIPIENT_H_
#define TEXTMSG_RECIPIENT_H_

#include <orvelpdu/orvelpdu.h>

namespace textmsg {

class Recipient : public orvelpdu::DescribedItem<Recipient> {
 public:
  static constexpr std::size_t kMaxAddress = orvelpdu::kNoLimit;

  Recipient() = default;
  Recipient(unsigned char type, const char* address) : type_(type), address_(address) {}

  unsigned char type() const { return type_; }
  const CString& address() const { return address_; }

  template <class V>
  void describe(V& v) {
    v.field("type", type_);
    v.cstring("address", address_, kMaxAddress);
  }

 private:
  unsigned char type_ = 0;
  CString address_;
};

}  // namespace textmsg

#endif  // TEXTMSG_RECIPIENT_H_

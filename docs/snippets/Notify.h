// README's described PDU, also the guides' running example: Address, an item of a 1-byte type
// and a NUL-ended text, and Notify, a PDU with a list of them, a text and one optional
// parameter. What lies between the two region markers is shown verbatim in README and the guide.
#ifndef ORVELPDU_DOCS_SNIPPETS_NOTIFY_H_
#define ORVELPDU_DOCS_SNIPPETS_NOTIFY_H_

// [notify]
#include <orvelpdu/orvelpdu.h>

class Address : public orvelpdu::DescribedItem<Address> {
 public:
  unsigned char type = 0;
  CString value;
  template <class V>
  void describe(V& v) {
    v.field("type", type);          // width from the type: 1 byte
    v.cstring("value", value, 64);  // NUL-ended, at most 64 characters
  }
};

class Notify : public orvelpdu::DescribedPDU<Notify> {
 public:
  static constexpr std::uint32_t kCommandId = 0x00000102;
  int priority = 0;
  orvelpdu::DescribedList<Address, orvelpdu::Width::k1, 8> to;  // 1-byte count, at most 8
  std::string text;
  CTLVShort reference;
  template <class V>
  void describe(V& v) {
    v.field("priority", priority);
    v.list("to", to);
    v.prefixed("text", orvelpdu::Width::k2, text, 1000);  // 2-byte length, then the bytes
    v.parameters(orvelpdu::param("reference", 0xFACE, reference));
  }
};
// [notify]

#endif  // ORVELPDU_DOCS_SNIPPETS_NOTIFY_H_

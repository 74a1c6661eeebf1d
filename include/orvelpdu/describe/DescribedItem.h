// DescribedItem is the base of a list item or nested element described once (see Fields.h):
//
//   class Recipient : public orvelpdu::DescribedItem<Recipient> {
//    public:
//     unsigned char type = 0;
//     CString address;
//     template <class V> void describe(V& v) {
//       v.field("type", type);
//       v.cstring("address", address, 20);
//     }
//   };
//
// From that function alone, encode appends the item's fields and parse takes them strictly;
// getData and setData are those two with CIPByteData's 1/0 results, so the item works
// wherever a CIPByteData does. An item has no optional parameters: `parameters` belongs to
// PDUs. REQUIRES of Derived: default-constructible and copyable; describe public.
//
// Failure: encode leaves `out` as it was; parse leaves `in` as it was and the item holding
// whatever fields it had read. std::bad_alloc passes through the same way.
#ifndef ORVELPDU_DESCRIBE_DESCRIBEDITEM_H_
#define ORVELPDU_DESCRIBE_DESCRIBEDITEM_H_

#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/describe/detail/ContentEquality.h"
#include "orvelpdu/describe/detail/Encoder.h"
#include "orvelpdu/describe/detail/Parser.h"

namespace orvelpdu {

template <class Derived>
class DescribedItem : public CIPByteData {
 public:
  // Appends the item's fields to `out`; on failure (a field that cannot be carried, named in
  // the result) nothing is appended.
  [[nodiscard]] Result encode(CIPByteBuffer& out) {
    const unsigned int start = out.getLength();
    detail::Encoder encoder(out);
    try {
      derived().describe(encoder);
    } catch (...) {
      out.setLength(start);
      throw;
    }
    Result result = encoder.take();
    if (!result.ok()) out.setLength(start);
    return result;
  }

  // Parses the item at the front of `in` and removes its bytes; on failure nothing is removed.
  [[nodiscard]] Result parse(CIPByteBuffer& in) {
    const unsigned char* data = in.getBuffer();
    detail::Parser<false> parser(data, data + in.getLength(), 0, nullptr, nullptr);
    derived().describe(parser);
    Result result = parser.take();
    if (result.ok()) in.removeBytes0(static_cast<int>(parser.consumed()));
    return result;
  }

  int getData(CIPByteBuffer& out) override { return encode(out).ok() ? 1 : 0; }
  int setData(CIPByteBuffer& in) override { return parse(in).ok() ? 1 : 0; }

  // Equal content in every described field.
  bool sameContent(const Derived& other) const {
    return detail::sameContent(const_cast<Derived&>(derived()), const_cast<Derived&>(other));
  }

 private:
  Derived& derived() { return static_cast<Derived&>(*this); }
  const Derived& derived() const { return static_cast<const Derived&>(*this); }
};

}  // namespace orvelpdu

#endif  // ORVELPDU_DESCRIBE_DESCRIBEDITEM_H_

// Using a described PDU (the guide "Writing a protocol"): a Notify encoded, parsed back, a field
// over its limit refused with its path named, and a relay that forwards parameters it does not
// know.
#include <cstdio>
#include <cstring>

#include "Check.h"
#include "Notify.h"

// [keep_unknown]
// A relay that knows Notify's body but none of its parameters, and passes them on as received.
class RelayedNotify : public orvelpdu::DescribedPDU<RelayedNotify> {
 public:
  static constexpr std::uint32_t kCommandId = Notify::kCommandId;
  static constexpr orvelpdu::Unknown kUnknownParameters = orvelpdu::Unknown::kKeep;
  int priority = 0;
  orvelpdu::DescribedList<Address, orvelpdu::Width::k1, 8> to;
  std::string text;
  template <class V>
  void describe(V& v) {
    v.field("priority", priority);
    v.list("to", to);
    v.prefixed("text", orvelpdu::Width::k2, text, 1000);
    v.parameters();
  }
};
// [keep_unknown]

int main() {
  // [use]
  Notify notify;
  notify.priority = 2;
  Address address;
  address.type = 1;
  address.value = "+4790000000";
  (void)notify.to.add(address);
  notify.text = "The build is green.";
  notify.reference.setValue(7);
  notify.assignSequenceNumber();

  CIPByteBuffer wire;
  orvelpdu::Result sent = notify.encode(wire);  // header, body, parameters; length sealed
  if (!sent) std::printf("not sent: %s\n", sent.reason().c_str());

  Notify received;
  orvelpdu::Result got = received.parse(wire);  // strict: every field whole and in its limits
  if (got.ok() && received.sameContent(notify)) std::printf("%s\n", received.text.c_str());
  // [use]
  snippets::check(sent.ok(), "sent.ok()");
  snippets::check(got.ok(), "got.ok()");
  snippets::check(wire.getLength() == 0, "wire.getLength() == 0");
  snippets::check(received.sameContent(notify), "received.sameContent(notify)");
  snippets::check(received.getSequenceNumber() == notify.getSequenceNumber(),
                  "received.getSequenceNumber() == notify.getSequenceNumber()");
  snippets::check(received.reference.getValue() == 7, "received.reference.getValue() == 7");

  // The relay keeps the reference it does not know and sends the very bytes it received.
  CIPByteBuffer original;
  snippets::check(notify.encode(original).ok(), "encoded for the relay");
  CIPByteBuffer relayed;
  relayed.appendBuffer(&original);
  RelayedNotify relay;
  snippets::check(relay.parse(relayed).ok(), "the relay parses a Notify");
  snippets::check(relay.unknownParameters().count() == 1, "the relay keeps the reference");
  CIPByteBuffer forwarded;
  snippets::check(relay.encode(forwarded).ok(), "the relay encodes");
  snippets::check(
      forwarded.getLength() == original.getLength() &&
          std::memcmp(forwarded.getBuffer(), original.getBuffer(), original.getLength()) == 0,
      "the relay forwards the bytes it received");

  // [failure]
  CString tooLong;
  for (int i = 0; i < 65; ++i) tooLong += "x";
  address.value = tooLong;  // over the field's limit of 64 characters
  (void)notify.to.add(address);
  CIPByteBuffer out;
  orvelpdu::Result refused = notify.encode(out);
  // Outcome::kOverLimit in the field "to[1].value"; nothing was appended to `out`.
  std::printf("%s\n", refused.reason().c_str());
  // [failure]
  snippets::check(!refused.ok(), "!refused.ok()");
  snippets::check(refused.outcome() == orvelpdu::Outcome::kOverLimit,
                  "refused.outcome() == orvelpdu::Outcome::kOverLimit");
  snippets::check(refused.field() == "to[1].value", "refused.field() == \"to[1].value\"");
  snippets::check(out.getLength() == 0, "out.getLength() == 0");
  return 0;
}

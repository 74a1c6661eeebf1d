// Fuzzing of the example protocol: arbitrary bytes are parsed as a SubmitText and as a
// SubmitTextResp. A rejected PDU must say why and consume either nothing (an unsound header)
// or exactly its command length. An accepted PDU must encode back to the bytes it was parsed
// from, with its optional parameters in the protocol's own order and unknown ones left out,
// and that encoding must parse again into a PDU that encodes to the very same bytes. Headers
// are registered while a PDU lives and unregistered when it goes.
#include <cstdint>
#include <map>
#include <type_traits>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace {

using orvelpdu::fuzz::bufferOf;
using orvelpdu::fuzz::Bytes;
using orvelpdu::fuzz::contentOf;

constexpr size_t kHeader = 16;

using orvelpdu::fuzz::check;

using orvelpdu::fuzz::loadBig;

// The command length a sound header states, or 0 when the header is not sound.
size_t soundLength(const Bytes& in) {
  if (in.size() < kHeader) return 0;
  const auto length = static_cast<int>(loadBig(in, 0, 4));
  if (length < static_cast<int>(kHeader) || static_cast<size_t>(length) > in.size()) return 0;
  return static_cast<size_t>(length);
}

// The bytes of the fixed body fields of a parsed SubmitText, up to its optional parameters.
size_t fixedBodyLength(textmsg::SubmitText& pdu) {
  size_t n = static_cast<size_t>(pdu.sender.GetLength()) + 1 + 1;
  for (int i = 0; i < pdu.recipients.getCount(); ++i) {
    n += 1 + static_cast<size_t>(pdu.recipients.at(i).address().GetLength()) + 1;
  }
  return n + 1 + 4 + 2 + static_cast<size_t>(pdu.text.GetLength());
}

// What an accepted SubmitText encodes to: its own header and fixed body, then the optional
// parameters it recognised, in tag order, each frame as it was received.
Bytes canonicalSubmitText(const Bytes& in, size_t length, size_t fixedBody) {
  std::map<uint16_t, Bytes> known;
  size_t pos = kHeader + fixedBody;
  while (pos < length) {
    const auto tag = static_cast<uint16_t>(loadBig(in, pos, 2));
    const size_t frame = 4 + loadBig(in, pos + 2, 2);
    if (tag >= textmsg::kReference && tag <= textmsg::kMessageClass) {
      known[tag] =
          Bytes(in.begin() + static_cast<long>(pos), in.begin() + static_cast<long>(pos + frame));
    }
    pos += frame;
  }
  check(pos == length, "SubmitText", "optional parameters overrun the command length");
  Bytes out(in.begin(), in.begin() + static_cast<long>(kHeader + fixedBody));
  for (const auto& [tag, frame] : known) out.insert(out.end(), frame.begin(), frame.end());
  orvelpdu::detail::storeBig32(out.data(), static_cast<uint32_t>(out.size()));
  return out;
}

template <class Pdu>
void fuzzPdu(const Bytes& input, const char* name) {
  const int registered = _CountMemory();
  {
    Pdu pdu;
    CIPByteBuffer in = bufferOf(input);
    const int accepted = pdu.setData(in);
    const size_t length = soundLength(input);
    const Bytes rest(input.begin() + static_cast<long>(length), input.end());
    if (accepted == 0) {
      check(!pdu.result().reason().empty(), name, "a rejection names its reason");
      check(contentOf(in) == rest, name, "a rejection consumes the PDU or nothing");
      check(pdu.isValid() == 0, name, "a rejected PDU is not marked valid");
    } else {
      check(accepted == 1 && pdu.result().ok(), name, "setData result");
      check(length != 0 && contentOf(in) == rest, name, "the PDU's bytes are consumed");
      check(pdu.isValid() == 1, name, "an accepted PDU is valid");

      CIPByteBuffer out;
      check(pdu.getData(out) == 1, name, "an accepted PDU encodes");
      const Bytes first = contentOf(out);
      const Bytes own(input.begin(), input.begin() + static_cast<long>(length));
      if constexpr (std::is_same_v<Pdu, textmsg::SubmitText>) {
        check(first == canonicalSubmitText(input, length, fixedBodyLength(pdu)), name,
              "re-encoded bytes");
      } else {
        check(first == own, name, "re-encoded bytes");
      }

      Pdu again;
      CIPByteBuffer second = bufferOf(first);
      check(again.setData(second) == 1, name, "the encoding parses again");
      check(second.isEmpty() == 1, name, "the encoding is consumed whole");
      check(again.equals(&pdu) == 1, name, "the sequence number survives");
      CIPByteBuffer out2;
      check(again.getData(out2) == 1 && contentOf(out2) == first, name, "second encoding");
    }
  }
  check(_CountMemory() == registered, name, "headers are unregistered");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  const Bytes input(data, data + size);
  fuzzPdu<textmsg::SubmitText>(input, "SubmitText");
  fuzzPdu<textmsg::SubmitTextResp>(input, "SubmitTextResp");
  return 0;
}

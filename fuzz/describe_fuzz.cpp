// Fuzzing of described PDUs: arbitrary bytes are parsed as each PDU of the example protocol and
// of the second protocol of the tests (tests/support/Ledger.h). A refusal must give a reason
// and consume either nothing (an unsound header) or exactly the command length. What is
// accepted must encode back to the bytes accepted when its described parameters came in their
// described order and nothing was skipped; otherwise (parameters reordered, unknown ones
// skipped) its encoding must parse again into the same content and encode to itself. Dumps,
// described and generic, never fail and agree with the parse; headers are unregistered.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzBytes.h"
#include "FuzzCheck.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "support/Ledger.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace {

using orvelpdu::fuzz::bufferOf;
using orvelpdu::fuzz::Bytes;
using orvelpdu::fuzz::check;
using orvelpdu::fuzz::contentOf;

size_t soundLength(const Bytes& in) {
  if (in.size() < 16) return 0;
  const uint32_t length = orvelpdu::fuzz::loadBig(in, 0, 4);
  return length >= 16 && length <= in.size() ? length : 0;
}

// True when the dump's parameter rows name described parameters in their described order and
// no unknown one (which a skipping PDU drops).
bool inDescribedOrder(const std::vector<orvelpdu::DumpRow>& rows,
                      const std::vector<std::string>& parameters, bool keepsUnknown) {
  size_t next = 0;
  for (const auto& row : rows) {
    if (row.path.rfind("parameters.0x", 0) == 0) {
      if (!keepsUnknown) return false;
      continue;
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
      if (row.path != parameters[i]) continue;
      if (i < next) return false;
      next = i + 1;
    }
  }
  return true;
}

template <class Pdu>
void fuzzPdu(const Bytes& input, const char* name, const std::vector<std::string>& parameters) {
  const int registered = _CountMemory();
  {
    Pdu pdu;
    CIPByteBuffer in = bufferOf(input);
    const orvelpdu::Result result = pdu.parse(in);
    const size_t length = soundLength(input);
    const Bytes rest(input.begin() + static_cast<long>(length), input.end());
    const Bytes own(input.begin(), input.begin() + static_cast<long>(length));

    Pdu dumped;
    std::vector<orvelpdu::DumpRow> rows;
    const orvelpdu::Result dumpResult = dumped.dump(bufferOf(input), rows);
    check(dumpResult.reason() == result.reason(), name, "the dump parses as parse does");
    (void)orvelpdu::formatDump(rows);

    if (!result.ok()) {
      check(result.outcome() != orvelpdu::Outcome::kOk &&
                (!result.field().empty() || !result.detail().empty()),
            name, "a refusal names its field or says why");
      check(contentOf(in) == rest || contentOf(in) == input, name,
            "a refusal consumes all or nothing");
    } else {
      check(length != 0 && contentOf(in) == rest, name, "the PDU's bytes are consumed");
      CIPByteBuffer out;
      const orvelpdu::Result encoded = pdu.encode(out);
      check(encoded.ok(), name, "an accepted PDU encodes");
      const Bytes first = contentOf(out);
      if (inDescribedOrder(rows, parameters,
                           orvelpdu::detail::unknownPolicy<Pdu>() == orvelpdu::Unknown::kKeep)) {
        check(first == own, name, "encodes back to the bytes accepted");
      } else {
        Pdu again;
        CIPByteBuffer second = bufferOf(first);
        check(again.parse(second).ok() && second.isEmpty() == 1, name, "the encoding parses");
        check(again.sameContent(pdu), name, "the encoding carries the same content");
        CIPByteBuffer out2;
        check(again.encode(out2).ok() && contentOf(out2) == first, name, "encoding is stable");
      }
    }
  }
  check(_CountMemory() == registered, name, "headers are unregistered");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 70000) return 0;
  const Bytes input(data, data + size);
  (void)orvelpdu::formatDump(orvelpdu::dumpGeneric(bufferOf(input)));
  fuzzPdu<textmsg::SubmitText>(input, "SubmitText",
                               {"reference", "segment_count", "expiry", "callback",
                                "user_data_header", "report_wanted", "message_class"});
  fuzzPdu<textmsg::SubmitTextResp>(input, "SubmitTextResp", {});
  fuzzPdu<ledger::Post>(input, "Post",
                        {"p_byte", "p_ubyte", "p_short", "p_int", "p_empty", "p_octets", "note"});
  fuzzPdu<ledger::Ack>(input, "Ack", {"note"});
  return 0;
}

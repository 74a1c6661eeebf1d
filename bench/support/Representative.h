// The representative PDU of the benchmarks: a SubmitText of the example protocol with three
// recipients, a 160-byte text and all seven optional parameters set (300 bytes on the wire),
// built once through the library and once as the hand-written codec's plain struct.
#ifndef ORVELPDU_BENCH_SUPPORT_REPRESENTATIVE_H_
#define ORVELPDU_BENCH_SUPPORT_REPRESENTATIVE_H_

#include <cstdint>
#include <vector>

#include "support/HandCodec.h"
#include "support/onlib/SubmitText.h"
#include "textmsg/SubmitText.h"

namespace orvelpdu::bench {

// Fills `pdu` with the representative content.
void fillRepresentative(textmsg::SubmitText& pdu);
// The same content in the example's SubmitText as it was written by hand on the library.
void fillRepresentative(onlib::SubmitText& pdu);
// The same content for the hand-written codec.
handcodec::SubmitText representativeMessage();
// The representative PDU's wire bytes.
const std::vector<std::uint8_t>& representativeWire();

// Compares the two codecs on the representative PDU and on every truncation and single-byte
// corruption of it: the same bytes out, the same verdict on every input, and the same
// content (compared by encoding it again) whenever both accept. Prints the first
// disagreement and aborts, so that no timing is ever reported for codecs that differ.
void checkCodecsAgree();

}  // namespace orvelpdu::bench

#endif  // ORVELPDU_BENCH_SUPPORT_REPRESENTATIVE_H_

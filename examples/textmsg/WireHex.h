// Hex text for showing and entering wire bytes: two upper-case digits per byte, no separators
// on output; whitespace between digit pairs is accepted on input.
#ifndef TEXTMSG_WIREHEX_H_
#define TEXTMSG_WIREHEX_H_

#include <orvelpdu/orvelpdu.h>

#include <string>

namespace textmsg {

// The bytes `buffer` holds as hex digit pairs ("" when it holds none).
std::string toHex(const CIPByteBuffer& buffer);
// Parses hex text into `out`, replacing what it held. Returns false, leaves `out` unchanged
// and names the problem in `error` for a non-hex character or an odd number of digits.
bool fromHex(const std::string& text, CIPByteBuffer& out, std::string& error);

}  // namespace textmsg

#endif  // TEXTMSG_WIREHEX_H_

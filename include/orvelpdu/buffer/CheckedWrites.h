// Checked writes: appending a field only when the peer will read back exactly what was meant.
//
// A NUL-ended text field is read back up to its first NUL, so a text that holds a NUL would
// arrive cut at it while the fields after it shift. putCString refuses such a text instead of
// sending it, appending nothing, and takes the text as a const view, so the caller's string is
// never touched (CIPByteBuffer::appendCString(CString&) writes through the string's buffer and
// stops at the first NUL without saying so).
#ifndef ORVELPDU_BUFFER_CHECKEDWRITES_H_
#define ORVELPDU_BUFFER_CHECKEDWRITES_H_

#include <string_view>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"

namespace orvelpdu {

// Appends the characters of `text` and one NUL byte. Fails with kNulInside, appending nothing,
// when `text` holds a NUL. std::bad_alloc from the buffer's growth passes through with `out`
// as it was.
[[nodiscard]] ORVELPDU_API Result putCString(CIPByteBuffer& out, std::string_view text);
// The same for the GetLength() characters of `text`, NUL bytes among them counted.
[[nodiscard]] ORVELPDU_API Result putCString(CIPByteBuffer& out, const CString& text);

}  // namespace orvelpdu

#endif  // ORVELPDU_BUFFER_CHECKEDWRITES_H_

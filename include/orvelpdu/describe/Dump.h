// Annotated dumps: one row per field of a PDU's bytes, for logs, debuggers and tests.
//
// A row gives the field's offset from the PDU's first byte, its width in bytes, its path
// ("recipients[1].address", "reference" for a described parameter, "parameters.0xFACE" for a
// tag the description does not know) and its value printed safely: integers in decimal
// (command ids and statuses in hex), texts quoted (see printableText), octets in hex; long
// values are shortened, with their length stated, so that no row repeats a peer's megabyte.
//
// Described PDUs are dumped by DescribedPDU::dump (see DescribedPDU.h); dumpGeneric needs only
// bytes. Neither ever fails on hostile input: a row stops where the bytes do.
#ifndef ORVELPDU_DESCRIBE_DUMP_H_
#define ORVELPDU_DESCRIBE_DUMP_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/export.h"

namespace orvelpdu {

struct DumpRow {
  std::size_t offset = 0;
  std::size_t width = 0;
  std::string path;
  std::string value;
};

// The rows of the PDU at the front of `bytes`, knowing nothing of its body: the four header
// fields, then the body walked as TLV frames when it is made of whole frames exactly, or else
// one row "body" with the body's bytes. Bytes past the command length (or all bytes, when the
// header is cut short or its length is out of range) get a row of their own, "trailing" or
// "unframed".
ORVELPDU_API std::vector<DumpRow> dumpGeneric(const CIPByteBuffer& bytes);

// The rows as aligned text, one line each: offset, width, path, value.
ORVELPDU_API std::string formatDump(const std::vector<DumpRow>& rows);

// `bytes` as they may be shown on a terminal: printable ASCII as it is, every other byte and
// the backslash as \xHH, so that no byte sequence received reaches the terminal as an escape
// sequence and the shown form reads back unambiguously. Longer than `maxShown` bytes, only
// that many are shown, followed by "... (N bytes)" with N the whole length.
ORVELPDU_API std::string printableText(std::string_view bytes, std::size_t maxShown = 64);
// printableText in double quotes, the quote itself shown as \x22.
ORVELPDU_API std::string quoteText(std::string_view bytes, std::size_t maxShown = 64);
// `bytes` as hex digit pairs separated by spaces, shortened the same way.
ORVELPDU_API std::string hexBytes(std::string_view bytes, std::size_t maxShown = 32);

}  // namespace orvelpdu

#endif  // ORVELPDU_DESCRIBE_DUMP_H_

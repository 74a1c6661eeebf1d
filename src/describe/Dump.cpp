#include "orvelpdu/describe/Dump.h"

#include <algorithm>
#include <cstdio>

#include "orvelpdu/buffer/ByteOrder.h"
#include "orvelpdu/describe/DescribedPDU.h"
#include "orvelpdu/pdu/HeaderCheck.h"

namespace orvelpdu {
namespace {

std::string_view viewOf(const unsigned char* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

std::string shortened(std::string text, std::size_t shown, std::size_t total) {
  if (shown < total) text += "... (" + std::to_string(total) + " bytes)";
  return text;
}

std::string hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string hex16(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

void detail::appendHeaderRows(const HeaderFields& header, std::vector<DumpRow>& rows) {
  const char* const names[] = {"command_length", "command_id", "command_status", "sequence_number"};
  const std::uint32_t values[] = {header.commandLength, header.commandId, header.commandStatus,
                                  header.sequenceNumber};
  for (int i = 0; i < header.fieldsRead; ++i) {
    const bool asHex = i == 1 || i == 2;
    rows.push_back({static_cast<std::size_t>(4 * i), 4, names[i],
                    asHex ? hex32(values[i]) : std::to_string(values[i])});
  }
}

void detail::appendUnparsedRow(const CIPByteBuffer& bytes, std::size_t offset, std::size_t end,
                               std::vector<DumpRow>& rows) {
  if (offset >= end || end > bytes.getLength()) return;
  rows.push_back({offset, end - offset, "unparsed",
                  hexBytes(viewOf(bytes.getBuffer() + offset, end - offset))});
}

std::string detail::wrongCommandId(std::uint32_t received, std::uint32_t expected) {
  return hex32(received) + " where " + hex32(expected) + " was expected";
}

namespace {

// True when [begin, end) is made of whole TLV frames exactly.
bool wholeFrames(const unsigned char* begin, const unsigned char* end) {
  while (begin != end) {
    const auto left = static_cast<std::size_t>(end - begin);
    if (left < 4) return false;
    const std::size_t frame = 4u + detail::loadBig16(begin + 2);
    if (frame > left) return false;
    begin += frame;
  }
  return true;
}

void addFrameRows(const unsigned char* pdu, std::size_t from, std::size_t to,
                  std::vector<DumpRow>& rows) {
  while (from < to) {
    const std::uint32_t tag = detail::loadBig16(pdu + from);
    const std::size_t length = detail::loadBig16(pdu + from + 2);
    rows.push_back(
        {from, 4 + length, "parameters." + hex16(tag), hexBytes(viewOf(pdu + from + 4, length))});
    from += 4 + length;
  }
}

// Printable ASCII but the backslash and `alsoEscaped` as it is, every other byte as \xHH.
std::string escaped(std::string_view bytes, std::size_t maxShown, char alsoEscaped) {
  static const char kDigits[] = "0123456789ABCDEF";
  const std::size_t shown = std::min(bytes.size(), maxShown);
  std::string text;
  text.reserve(shown);
  for (std::size_t i = 0; i < shown; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c <= 0x7E && c != '\\' && c != static_cast<unsigned char>(alsoEscaped)) {
      text.push_back(static_cast<char>(c));
    } else {
      text += "\\x";
      text.push_back(kDigits[c >> 4]);
      text.push_back(kDigits[c & 0x0F]);
    }
  }
  return shortened(std::move(text), shown, bytes.size());
}

}  // namespace

std::string printableText(std::string_view bytes, std::size_t maxShown) {
  return escaped(bytes, maxShown, '\\');
}

std::string quoteText(std::string_view bytes, std::size_t maxShown) {
  return '"' + escaped(bytes, maxShown, '"') + '"';
}

std::string hexBytes(std::string_view bytes, std::size_t maxShown) {
  const std::size_t shown = std::min(bytes.size(), maxShown);
  std::string text;
  for (std::size_t i = 0; i < shown; ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X",
                  static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
    if (i != 0) text += ' ';
    text += pair;
  }
  return shortened(std::move(text), shown, bytes.size());
}

std::vector<DumpRow> dumpGeneric(const CIPByteBuffer& bytes) {
  std::vector<DumpRow> rows;
  const unsigned char* data = bytes.getBuffer();
  const std::size_t size = bytes.getLength();
  HeaderFields header;
  const Result checked = checkHeaderFields(data, size, LengthRule::kWithinHeld, header);
  detail::appendHeaderRows(header, rows);
  if (!checked.ok()) {
    const std::size_t read = 4u * static_cast<std::size_t>(header.fieldsRead);
    if (read < size)
      rows.push_back({read, size - read, "unframed", hexBytes(viewOf(data + read, size - read))});
    return rows;
  }
  const std::size_t end = header.commandLength;
  if (end > HeaderFields::kSize) {
    if (wholeFrames(data + HeaderFields::kSize, data + end)) {
      addFrameRows(data, HeaderFields::kSize, end, rows);
    } else {
      rows.push_back({HeaderFields::kSize, end - HeaderFields::kSize, "body",
                      hexBytes(viewOf(data + HeaderFields::kSize, end - HeaderFields::kSize))});
    }
  }
  if (end < size)
    rows.push_back({end, size - end, "trailing", hexBytes(viewOf(data + end, size - end))});
  return rows;
}

std::string formatDump(const std::vector<DumpRow>& rows) {
  std::size_t pathWidth = 0;
  for (const DumpRow& row : rows) pathWidth = std::max(pathWidth, row.path.size());
  std::string text;
  for (const DumpRow& row : rows) {
    char place[48];
    std::snprintf(place, sizeof place, "%6zu %5zu  ", row.offset, row.width);
    text += place;
    text += row.path;
    text.append(pathWidth - row.path.size() + 2, ' ');
    text += row.value;
    text += '\n';
  }
  return text;
}

}  // namespace orvelpdu

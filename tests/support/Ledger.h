// A second protocol, unrelated to the example's, defined only by descriptions: it uses every
// field kind, nested items, a list of items that hold a list, all seven TLV types, and both
// ways with unknown parameters (Post keeps them, Ack skips them). Shared by the description
// tests and the description fuzz target.
#ifndef ORVELPDU_TESTS_SUPPORT_LEDGER_H_
#define ORVELPDU_TESTS_SUPPORT_LEDGER_H_

#include <array>
#include <cstdint>
#include <string>

#include "orvelpdu/orvelpdu.h"

namespace ledger {

using orvelpdu::param;
using orvelpdu::Width;

class Line : public orvelpdu::DescribedItem<Line> {
 public:
  short delta = 0;
  unsigned short code = 0;
  std::string memo;

  template <class V>
  void describe(V& v) {
    v.field("delta", delta);
    v.field("code", code);
    v.cstring("memo", memo, 16);
  }
};

class Entry : public orvelpdu::DescribedItem<Entry> {
 public:
  unsigned int id = 0;
  signed char kind = 0;
  orvelpdu::DescribedList<Line, Width::k2, 4> lines;
  std::array<unsigned char, 4> stamp{};

  template <class V>
  void describe(V& v) {
    v.field("id", id);
    v.field("kind", kind);
    v.list("lines", lines);
    v.fixed("stamp", stamp);
  }
};

class Origin : public orvelpdu::DescribedItem<Origin> {
 public:
  CString host;
  unsigned short port = 0;

  template <class V>
  void describe(V& v) {
    v.prefixed("host", Width::k1, host, 32);
    v.field("port", port);
  }
};

class Post : public orvelpdu::DescribedPDU<Post> {
 public:
  static constexpr std::uint32_t kCommandId = 0x00000101;
  static constexpr orvelpdu::Unknown kUnknownParameters = orvelpdu::Unknown::kKeep;

  unsigned char version = 0;
  signed char bias = 0;
  short delta = 0;
  unsigned short flags = 0;
  int balance = 0;
  unsigned int total = 0;
  CString account;
  std::string label;
  std::array<unsigned char, 3> key{};
  CIPByteBuffer blob;
  std::string title;
  Origin origin;
  orvelpdu::DescribedList<Entry, Width::k4, 3> entries;

  CTLVByte pByte;
  CTLVUByte pUByte;
  CTLVShort pShort;
  CTLVInt pInt;
  CTLVEmpty pEmpty;
  CTLVOctets pOctets;
  CTLVString note;

  template <class V>
  void describe(V& v) {
    v.field("version", version);
    v.field("bias", bias);
    v.field("delta", delta);
    v.field("flags", flags);
    v.field("balance", balance);
    v.field("total", total);
    v.cstring("account", account, 20);
    v.cstring("label", label, 12);
    v.fixed("key", key);
    v.prefixed("blob", Width::k4, blob, 64);
    v.prefixed("title", Width::k2, title, 40);
    v.item("origin", origin);
    v.list("entries", entries);
    v.parameters(param("p_byte", 0x0001, pByte), param("p_ubyte", 0x0002, pUByte),
                 param("p_short", 0x0003, pShort), param("p_int", 0x0004, pInt),
                 param("p_empty", 0x0005, pEmpty), param("p_octets", 0x0006, pOctets),
                 param("note", 0xFACE, note));
  }
};

class Ack : public orvelpdu::DescribedPDU<Ack> {
 public:
  static constexpr std::uint32_t kCommandId = 0x80000101u;

  unsigned int status = 0;
  CTLVString note;

  template <class V>
  void describe(V& v) {
    v.field("status", status);
    v.parameters(param("note", 0xFACE, note));
  }
};

}  // namespace ledger

#endif  // ORVELPDU_TESTS_SUPPORT_LEDGER_H_

// Equality of content over a description: two objects of one described type are compared
// field by field, list items and nested items included, and parameters by presence and value
// bytes. The first object's description is walked to collect its fields, the second's to
// compare against them in the same order; both walks see the same field list, since it is one
// function of the type. Internal to the description facility.
#ifndef ORVELPDU_DESCRIBE_DETAIL_CONTENTEQUALITY_H_
#define ORVELPDU_DESCRIBE_DETAIL_CONTENTEQUALITY_H_

#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/describe/Fields.h"
#include "orvelpdu/describe/detail/Text.h"

namespace orvelpdu::detail {

struct FieldRef {
  void* field;
  bool (*same)(void* mine, void* theirs);
};

template <class T>
bool sameContent(T& a, T& b);

template <class T>
bool sameValue(void* a, void* b) {
  return *static_cast<T*>(a) == *static_cast<T*>(b);
}

template <class T>
bool sameBytes(void* a, void* b) {
  return bytesOf(*static_cast<T*>(a)) == bytesOf(*static_cast<T*>(b));
}

template <class Item>
bool sameItem(void* a, void* b) {
  return sameContent(*static_cast<Item*>(a), *static_cast<Item*>(b));
}

template <class List>
bool sameList(void* a, void* b) {
  List& mine = *static_cast<List*>(a);
  List& theirs = *static_cast<List*>(b);
  if (mine.getCount() != theirs.getCount()) return false;
  for (int i = 0; i < mine.getCount(); ++i) {
    if (!sameContent(mine.at(i), theirs.at(i))) return false;
  }
  return true;
}

template <class Tlv>
bool sameParameter(void* a, void* b) {
  Tlv& mine = *static_cast<Tlv*>(a);
  Tlv& theirs = *static_cast<Tlv*>(b);
  if (mine.hasValue() != theirs.hasValue()) return false;
  if (mine.hasValue() == 0) return true;
  CIPByteBuffer mineBytes;
  CIPByteBuffer theirBytes;
  (void)mine.getValueData(mineBytes);
  (void)theirs.getValueData(theirBytes);
  return bytesOf(mineBytes) == bytesOf(theirBytes);
}

// Walks the first object: records each field with the comparison its kind needs.
class FieldCollector {
 public:
  explicit FieldCollector(std::vector<FieldRef>& refs) : refs_(refs) {}

  template <WireInteger T>
  void field(const char*, T& value) {
    refs_.push_back({&value, &sameValue<T>});
  }
  template <TextValue T>
  void cstring(const char*, T& text, std::size_t) {
    refs_.push_back({&text, &sameBytes<T>});
  }
  template <TextValue T>
  void prefixed(const char*, Width, T& value, std::size_t) {
    refs_.push_back({&value, &sameBytes<T>});
  }
  template <std::size_t N>
  void fixed(const char*, std::array<unsigned char, N>& bytes) {
    refs_.push_back({&bytes, &sameValue<std::array<unsigned char, N>>});
  }
  template <class List>
  void list(const char*, List& items) {
    refs_.push_back({&items, &sameList<List>});
  }
  template <class Item>
  void item(const char*, Item& inner) {
    refs_.push_back({&inner, &sameItem<Item>});
  }
  template <class... Tlv>
  void parameters(Param<Tlv>... params) {
    (refs_.push_back({&params.tlv, &sameParameter<Tlv>}), ...);
  }

 private:
  std::vector<FieldRef>& refs_;
};

// Walks the second object against what the collector recorded.
class FieldComparer {
 public:
  explicit FieldComparer(const std::vector<FieldRef>& refs) : refs_(refs) {}
  bool same() const { return same_ && next_ == refs_.size(); }

  template <WireInteger T>
  void field(const char*, T& value) {
    compare(&value);
  }
  template <TextValue T>
  void cstring(const char*, T& text, std::size_t) {
    compare(&text);
  }
  template <TextValue T>
  void prefixed(const char*, Width, T& value, std::size_t) {
    compare(&value);
  }
  template <std::size_t N>
  void fixed(const char*, std::array<unsigned char, N>& bytes) {
    compare(&bytes);
  }
  template <class List>
  void list(const char*, List& items) {
    compare(&items);
  }
  template <class Item>
  void item(const char*, Item& inner) {
    compare(&inner);
  }
  template <class... Tlv>
  void parameters(Param<Tlv>... params) {
    (compare(&params.tlv), ...);
  }

 private:
  void compare(void* theirs) {
    if (!same_ || next_ >= refs_.size()) {
      same_ = false;
      return;
    }
    const FieldRef& mine = refs_[next_++];
    same_ = mine.same(mine.field, theirs);
  }

  const std::vector<FieldRef>& refs_;
  std::size_t next_ = 0;
  bool same_ = true;
};

template <class T>
bool sameContent(T& a, T& b) {
  if (&a == &b) return true;
  std::vector<FieldRef> refs;
  FieldCollector collector(refs);
  a.describe(collector);
  FieldComparer comparer(refs);
  b.describe(comparer);
  return comparer.same();
}

// Finds the described parameter with a tag; every other field is passed over.
class ParameterFinder {
 public:
  explicit ParameterFinder(std::uint16_t tag) : tag_(tag) {}
  CTLV* found() const { return found_; }

  template <class T>
  void field(const char*, T&) {}
  template <class T>
  void cstring(const char*, T&, std::size_t) {}
  template <class T>
  void prefixed(const char*, Width, T&, std::size_t) {}
  template <class T>
  void fixed(const char*, T&) {}
  template <class T>
  void list(const char*, T&) {}
  template <class T>
  void item(const char*, T&) {}
  template <class... Tlv>
  void parameters(Param<Tlv>... params) {
    ((found_ == nullptr && params.tag == tag_ ? (found_ = &params.tlv, 0) : 0), ...);
  }

 private:
  std::uint16_t tag_;
  CTLV* found_ = nullptr;
};

}  // namespace orvelpdu::detail

#endif  // ORVELPDU_DESCRIBE_DETAIL_CONTENTEQUALITY_H_

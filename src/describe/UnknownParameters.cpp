#include "orvelpdu/describe/UnknownParameters.h"

#include "buffer/BufferAccess.h"

namespace orvelpdu {
namespace {

std::unique_ptr<CTLVOctets> makeParameter(std::uint16_t tag, const unsigned char* value,
                                          int length) {
  CIPByteBuffer view;
  detail::BufferAccess::lendBytes(value, length, view);
  return std::make_unique<CTLVOctets>(static_cast<short>(tag), view);
}

// The value bytes of `tlv`, encoded afresh.
CIPByteBuffer valueOf(const CTLVOctets& tlv) {
  CIPByteBuffer bytes;
  tlv.getValue(bytes);
  return bytes;
}

}  // namespace

UnknownParameters::UnknownParameters() = default;
UnknownParameters::~UnknownParameters() = default;

UnknownParameters::UnknownParameters(const UnknownParameters& other) {
  items_.reserve(other.items_.size());
  for (const auto& item : other.items_) {
    items_.push_back({std::make_unique<CTLVOctets>(*item.tlv), item.described});
  }
}

UnknownParameters& UnknownParameters::operator=(const UnknownParameters& other) {
  if (this != &other) {
    UnknownParameters copy(other);
    items_.swap(copy.items_);
  }
  return *this;
}

void UnknownParameters::add(std::uint16_t tag, const unsigned char* value, int length,
                            int described) {
  auto item = makeParameter(tag, value, length);
  items_.push_back({std::move(item), described});
}

void UnknownParameters::put(std::uint16_t tag, const unsigned char* value, int length) {
  auto item = makeParameter(tag, value, length);
  for (auto& held : items_) {
    if (static_cast<std::uint16_t>(held.tlv->getTag()) == tag) {
      held.tlv = std::move(item);
      return;
    }
  }
  items_.push_back({std::move(item), kAfterAll});
}

CTLVOctets* UnknownParameters::find(std::uint16_t tag) {
  for (auto& held : items_) {
    if (static_cast<std::uint16_t>(held.tlv->getTag()) == tag) return held.tlv.get();
  }
  return nullptr;
}

int UnknownParameters::encodeUpTo(int next, int described, CIPByteBuffer& out) const {
  auto i = static_cast<std::size_t>(next);
  for (; i < items_.size() && items_[i].described <= described; ++i) {
    (void)items_[i].tlv->getData(out);
  }
  return static_cast<int>(i);
}

bool UnknownParameters::operator==(const UnknownParameters& other) const {
  if (items_.size() != other.items_.size()) return false;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].tlv->getTag() != other.items_[i].tlv->getTag()) return false;
    CIPByteBuffer mine = valueOf(*items_[i].tlv);
    CIPByteBuffer theirs = valueOf(*other.items_[i].tlv);
    if (mine.getLength() != theirs.getLength()) return false;
    if (mine.getLength() != 0 &&
        std::memcmp(mine.getBuffer(), theirs.getBuffer(), mine.getLength()) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace orvelpdu

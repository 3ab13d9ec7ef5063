#include "rest/dataset/packed_rows.h"

#include <algorithm>
#include <cstring>

namespace livrexa {

namespace {

size_t PackedSize(const TFieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return 1 + sizeof(uint32_t) + text->size();
  if (std::holds_alternative<int64_t>(value) || std::holds_alternative<double>(value)) return 1 + 8;
  return 1;
}

template <class T>
void Put(char*& p, const T& v) {
  std::memcpy(p, &v, sizeof v);
  p += sizeof v;
}

template <class T>
T Get(const char*& p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  p += sizeof v;
  return v;
}

}  // namespace

void TPackedRows::Append(const std::vector<TFieldValue>& row) {
  size_t bytes = 0;
  for (const TFieldValue& value : row) bytes += PackedSize(value);
  // A row larger than a chunk (a photo) gets a chunk of its own size.
  if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < bytes) {
    chunks_.emplace_back();
    chunks_.back().reserve(std::max(kChunkBytes, bytes));
  }
  std::string& chunk = chunks_.back();
  const size_t at = chunk.size();
  starts_.push_back((static_cast<uint64_t>(chunks_.size() - 1) << 32) | at);
  sizes_.push_back(static_cast<uint32_t>(row.size()));
  chunk.resize(at + bytes);
  char* p = chunk.data() + at;
  for (const TFieldValue& value : row) {
    if (const auto* text = std::get_if<std::string>(&value)) {
      *p++ = kText;
      Put(p, static_cast<uint32_t>(text->size()));
      std::memcpy(p, text->data(), text->size());
      p += text->size();
    } else if (const auto* i = std::get_if<int64_t>(&value)) {
      *p++ = kInteger;
      Put(p, *i);
    } else if (const auto* d = std::get_if<double>(&value)) {
      *p++ = kFloat;
      Put(p, *d);
    } else if (const auto* b = std::get_if<bool>(&value)) {
      *p++ = *b ? kTrue : kFalse;
    } else {
      *p++ = kNull;
    }
  }
}

void TPackedRows::Clear() {
  chunks_.clear();
  chunks_.shrink_to_fit();
  starts_.clear();
  starts_.shrink_to_fit();
  sizes_.clear();
  sizes_.shrink_to_fit();
}

void TPackedRows::Unpack(size_t index, std::vector<TFieldValue>& out) const {
  const uint64_t start = starts_.at(index);
  const char* p = chunks_[start >> 32].data() + (start & 0xFFFFFFFFu);
  out.resize(sizes_[index]);
  for (TFieldValue& value : out) {
    switch (static_cast<Tag>(*p++)) {
      case kText: {
        const auto size = Get<uint32_t>(p);
        if (auto* text = std::get_if<std::string>(&value))
          text->assign(p, size);
        else
          value.emplace<std::string>(p, size);
        p += size;
        break;
      }
      case kInteger:
        value = Get<int64_t>(p);
        break;
      case kFloat:
        value = Get<double>(p);
        break;
      case kTrue:
        value = true;
        break;
      case kFalse:
        value = false;
        break;
      default:
        value = std::monostate{};
        break;
    }
  }
}

}  // namespace livrexa

#include "rest/params/memory_stream.h"

#include <cstring>

#include "rest/wire/errors.h"

namespace livrexa {

void TMemoryStream::Clear() {
  data_.clear();
  pos_ = 0;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return;
  if (pos_ + count > data_.size()) data_.resize(pos_ + count, '\0');
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ += count;
}

void TMemoryStream::WriteLE(uint64_t v, int bytes) {
  unsigned char buf[8];
  for (int i = 0; i < bytes; ++i) buf[i] = static_cast<unsigned char>(v >> (8 * i));
  Write(buf, static_cast<size_t>(bytes));
}

void TMemoryStream::Read(void* buffer, size_t count) {
  if (count > Remaining()) throw LivrexaError("Stream read error");
  if (count == 0) return;
  std::memcpy(buffer, data_.data() + pos_, count);
  pos_ += count;
}

std::string TMemoryStream::ReadBytes(size_t count) {
  if (count > Remaining()) throw LivrexaError("Stream read error");
  std::string out = data_.substr(pos_, count);
  pos_ += count;
  return out;
}

uint8_t TMemoryStream::ReadByte() {
  uint8_t b = 0;
  Read(&b, 1);
  return b;
}

uint64_t TMemoryStream::ReadLE(int bytes) {
  unsigned char buf[8] = {};
  Read(buf, static_cast<size_t>(bytes));
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(buf[i]) << (8 * i);
  // Sign-extend the narrower integers.
  if (bytes < 8 && (buf[bytes - 1] & 0x80)) v |= ~uint64_t{0} << (8 * bytes);
  return v;
}

}  // namespace livrexa

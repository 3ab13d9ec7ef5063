#pragma once
// A growable in-memory byte stream with a position. All integers are little-endian.

#include <cstdint>
#include <string>
#include <utility>

namespace livrexa {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  size_t Size() const { return data_.size(); }
  size_t Position() const { return pos_; }
  void SetPosition(size_t pos) { pos_ = pos; }
  size_t Remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  const std::string& Bytes() const { return data_; }
  void Clear();

  // Writing past the end grows the stream (a gap is filled with zeros).
  void Write(const void* buffer, size_t count);
  void WriteInt16(int16_t v) { WriteLE(static_cast<uint64_t>(static_cast<uint16_t>(v)), 2); }
  void WriteInt32(int32_t v) { WriteLE(static_cast<uint64_t>(static_cast<uint32_t>(v)), 4); }
  void WriteInt64(int64_t v) { WriteLE(static_cast<uint64_t>(v), 8); }
  void WriteByte(uint8_t v) { Write(&v, 1); }

  // Reading beyond the end fails with "Stream read error" and leaves the position unchanged.
  void Read(void* buffer, size_t count);
  std::string ReadBytes(size_t count);
  int16_t ReadInt16() { return static_cast<int16_t>(ReadLE(2)); }
  int32_t ReadInt32() { return static_cast<int32_t>(ReadLE(4)); }
  int64_t ReadInt64() { return static_cast<int64_t>(ReadLE(8)); }
  uint8_t ReadByte();

 private:
  void WriteLE(uint64_t v, int bytes);
  uint64_t ReadLE(int bytes);

  std::string data_;
  size_t pos_ = 0;
};

}  // namespace livrexa

#pragma once
// Rows of field values kept packed: each value as a tag byte and its bytes, rows one after the
// other in large chunks. A fetched result of a hundred thousand rows takes a few hundred bytes a
// row this way instead of a variant per value plus a heap block per text; the cursor unpacks the
// current row when it moves.

#include <cstdint>
#include <string>
#include <vector>

#include "rest/dataset/row_set.h"

namespace livrexa {

class TPackedRows {
 public:
  // Appends a row of values (of any count; every row of one result has the same).
  void Append(const std::vector<TFieldValue>& row);
  size_t Count() const { return starts_.size(); }
  bool Empty() const { return starts_.empty(); }
  void Clear();
  // Row `index` into `out`, which takes as many values as the row has; texts already in `out`
  // keep their storage where it suffices.
  void Unpack(size_t index, std::vector<TFieldValue>& out) const;

 private:
  enum Tag : unsigned char { kNull, kFalse, kTrue, kInteger, kFloat, kText };
  static constexpr size_t kChunkBytes = 1 << 20;

  std::vector<std::string> chunks_;
  // Chunk number in the high 32 bits, offset in the chunk in the low 32.
  std::vector<uint64_t> starts_;
  std::vector<uint32_t> sizes_;  // values in each row
};

}  // namespace livrexa

// Packed rows give back every value as it went in: each kind, nulls, empty and long texts, rows
// larger than a chunk, and a cursor row reused across rows whose kinds differ.

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "rest/dataset/packed_rows.h"

namespace livrexa {
namespace {

TEST(PackedRows, EveryValueComesBackAsItWentIn) {
  const std::string photo(3 << 20, '\xFF');  // larger than a chunk: a chunk of its own
  const std::vector<std::vector<TFieldValue>> rows = {
      {int64_t{1}, std::string("Ana"), true, 12.5, TFieldValue{}},
      {std::numeric_limits<int64_t>::min(), std::string(), false, -0.0, std::string("José")},
      {TFieldValue{}, std::string(40, 'x'), TFieldValue{}, 1e300, photo},
      {int64_t{3}, std::string(std::string("a\0b", 3)), true, 0.1, int64_t{-7}},
  };
  TPackedRows packed;
  for (const auto& row : rows) packed.Append(row);
  ASSERT_EQ(packed.Count(), rows.size());

  std::vector<TFieldValue> cursor;
  // Forwards and backwards, so each value is unpacked over a value of another kind.
  for (const size_t r : {0u, 1u, 2u, 3u, 2u, 0u, 3u}) {
    packed.Unpack(r, cursor);
    EXPECT_EQ(cursor, rows[r]) << r;
  }
  packed.Clear();
  EXPECT_TRUE(packed.Empty());
  packed.Append({std::string("again")});
  packed.Unpack(0, cursor);
  EXPECT_EQ(cursor, std::vector<TFieldValue>{std::string("again")});
}

}  // namespace
}  // namespace livrexa

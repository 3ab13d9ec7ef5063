#include <gtest/gtest.h>

#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

// A date-time built from its parts decodes to the same parts, on both sides of 1899-12-30.
TEST(WireBasics, DateTimePartsRoundTripAroundTheEpoch) {
  struct Case {
    int y, mo, d, h, mi, s;
    double days;
  } cases[] = {
      {2024, 1, 15, 13, 30, 0, 45306.5625},
      {1899, 12, 30, 6, 0, 0, 0.25},
      {1899, 12, 29, 6, 0, 0, -1.25},
      {1899, 12, 29, 18, 0, 0, -1.75},
      {1800, 1, 1, 0, 0, 1, -36522.0 - 1.0 / 86400},
  };
  for (const auto& c : cases) {
    const TDateTime t = EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s);
    EXPECT_DOUBLE_EQ(t, c.days) << c.y << "-" << c.mo << "-" << c.d;
    const auto p = DecodeDateTime(t);
    EXPECT_EQ(p.year, c.y);
    EXPECT_EQ(p.month, c.mo);
    EXPECT_EQ(p.day, c.d);
    EXPECT_EQ(p.hour, c.h);
    EXPECT_EQ(p.minute, c.mi);
    EXPECT_EQ(p.second, c.s);
  }
}

}  // namespace
}  // namespace livrexa

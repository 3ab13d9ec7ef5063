// The head of a parameter text: checked as JSON however it ends, without copying a large string
// value at its end.

#include <gtest/gtest.h>

#include <string>

#include "rest/params/detail/param_text_reader.h"
#include "rest/wire/errors.h"

namespace livrexa {
namespace {

const std::string kHead =
    R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"true", "ValueType":"ovString", )";

TEST(ParamTextReader, HeadOfEveryEndingAndRefusalOfBadOnes) {
  struct Case {
    std::string tail;
    bool valid;
    size_t members;
  } cases[] = {
      {R"("Filtro":"QW5h"})", true, 5},      {"\"Filtro\" :\t\"Q\\/W\\\"5h\\n\" }\r\n", true, 5},
      {R"("Filtro":"\u00e9"})", true, 5},    {R"("Filtro":12})", true, 5},
      {R"("Filtro":{"a":[1,2]}})", true, 5}, {R"("Filtro":"a", "Extra":1})", true, 6},
      {R"("Filtro":"a\x"})", false, 0},      {"\"Filtro\":\"a\x01\"}", false, 0},
      {R"("Filtro":"a"} x)", false, 0},      {R"("Filtro":"a")", false, 0},
      {R"("Filtro":"a}")", false, 0},        {R"("Filtro":"\ud800"})", false, 0},
  };
  for (const auto& c : cases) {
    const std::string text = kHead + c.tail;
    if (!c.valid) {
      EXPECT_THROW(ReadJsonHead(text), LivrexaError) << text;
      continue;
    }
    const TJsonHead head = ReadJsonHead(text);
    EXPECT_EQ(head.MemberCount, c.members) << text;
    EXPECT_EQ(head.Values[0], "toParam") << text;
    EXPECT_EQ(head.Values[3], "ovString") << text;
    EXPECT_EQ(head.Keys[4], "Filtro") << text;
  }
}

}  // namespace
}  // namespace livrexa

#include <gtest/gtest.h>

#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/wire_consts.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

TEST(WireText, EncodeAndDecodeTextExamples) {
  struct Case {
    const char* text;
    const char* base64;
  } cases[] = {{"OK", "T0s="}, {"Ação", "QcOnw6Nv"}, {"José", "Sm9zw6k="}, {"", ""}, {"Ana", "QW5h"}};
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeText(c.text), c.base64) << c.text;
    EXPECT_EQ(DecodeText(c.base64), c.text) << c.base64;
  }
}

TEST(WireText, DecodeBinaryToleratesLineBreaksAndGarbage) {
  EXPECT_EQ(DecodeBinary("T0\r\ns="), "OK");
  EXPECT_EQ(DecodeBinary("T0s"), "OK");  // padding missing
  EXPECT_EQ(DecodeBinary("T"), "");      // a lone sextet carries no byte
  EXPECT_EQ(DecodeBinary("!!!"), "");
  const std::string bytes("\x00\xff\x10\x80", 4);
  EXPECT_EQ(DecodeBinary(EncodeBinary(bytes)), bytes);
}

TEST(WireText, DecodeTextReplacesMalformedUtf8) {
  EXPECT_EQ(DecodeText(EncodeBinary("a\xff"
                                    "b")),
            "a\xEF\xBF\xBD"
            "b");
}

TEST(WireText, EscapeJSONTextEscapesBackslashFirst) {
  EXPECT_EQ(EscapeJSONText("a\\\"/\b\t\n\f\rç"), "a\\\\\\\"\\/\\b\\t\\n\\f\\rç");
  EXPECT_EQ(EscapeJSONText("\\n"), "\\\\n");
}

TEST(WireText, SevenBitAndCodePageRules) {
  EXPECT_EQ(Utf8ToAscii7("Ação €"), "A??o ?");
  EXPECT_EQ(Ascii7ToUtf8("A\xE7"
                         "o"),
            "A\xEF\xBF\xBDo");
  EXPECT_EQ(Utf8ToCp1252("Ação €Ω"), "A\xE7\xE3o \x80?");
  EXPECT_EQ(Cp1252ToUtf8("A\xE7\xE3o \x80"), "Ação €");
}

TEST(WireNumbers, FloatWireTextWithEitherSeparator) {
  TFormatSettings comma;
  TFormatSettings dot;
  dot.DecimalSeparator = '.';
  for (const auto* fs : {&comma, &dot}) {
    EXPECT_EQ(FloatToWire(12.5, TJsonMode::jmDataware, "", *fs), "12D5");
    EXPECT_DOUBLE_EQ(WireToFloat("12D5", *fs), 12.5);
    EXPECT_DOUBLE_EQ(WireToFloat("7", *fs), 7.0);
  }
  EXPECT_EQ(FloatToText(1.5e20), "1,5E20");
  EXPECT_EQ(FloatToText(1e-5), "1E-5");
  EXPECT_EQ(FloatToText(0.1 + 0.2), "0,3");
  EXPECT_EQ(FloatToText(-3), "-3");
  EXPECT_EQ(FloatToWire("12,5", TJsonMode::jmPureJSON, "."), "12.5");
  EXPECT_EQ(FloatToWire("12,5", TJsonMode::jmPureJSON, ""), "12,5");
}

TEST(WireNumbers, ConversionMessages) {
  struct Case {
    const char* text;
    bool ok;
  } ints[] = {{"130", true}, {" 7", true}, {"-2147483648", true}, {"$1F", true},
              {"1a", false}, {"", false},  {"2147483648", false}, {"7 ", false}};
  for (const auto& c : ints) {
    if (c.ok) {
      EXPECT_NO_THROW(StrToInt(c.text)) << c.text;
    } else {
      try {
        StrToInt(c.text);
        ADD_FAILURE() << c.text;
      } catch (const LivrexaError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + std::string(c.text) + "' is not a valid integer value");
      }
    }
  }
  try {
    StrToFloat("12.5");  // the process separator is the comma
    ADD_FAILURE();
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "'12.5' is not a valid floating point value");
  }
}

TEST(WireNumbers, IntegerWithFallback) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"12", 12}, {" 7", 7},  {"-3", -3}, {"$10", 16},
               {"", 0},    {"abc", 0}, {"7 ", 0},  {"2147483648", 0}};
  for (const auto& c : cases) EXPECT_EQ(StrToIntDef(c.text, 0), c.value) << c.text;
  EXPECT_EQ(StrToIntDef("x", -1), -1);
}

TEST(WireNumbers, DateWireNumbers) {
  EXPECT_EQ(DateTimeToWire(EncodeDate(2024, 1, 15)), 3914438400);
  EXPECT_EQ(DateTimeToWire(EncodeDateTime(2024, 1, 15, 13, 30, 0)), 3914487000);
  EXPECT_EQ(DateTimeToWire(EncodeTime(13, 30, 0)), 48600);
  EXPECT_EQ(DateTimeToWire(0.5 / 86400), 0);  // half a second rounds to even
  EXPECT_EQ(DateTimeToWire(1.5 / 86400), 2);
  EXPECT_LT(DateTimeToWire(EncodeDate(1899, 12, 29)), 0);
  const auto p = DecodeDateTime(WireToDateTime(3914487000));
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 15);
  EXPECT_EQ(p.hour, 13);
  EXPECT_EQ(p.minute, 30);
  EXPECT_EQ(DateTimeToStr(WireToDateTime(3914487000)), "15/01/2024 13:30:00");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 1, 15)), "15/01/2024");
}

TEST(WireConsts, NamesReadBackWithFallbacks) {
  EXPECT_EQ(ObjectValueName(TObjectValue::ovDataSet), "ovDataSet");
  EXPECT_EQ(ObjectValueName(static_cast<TObjectValue>(52)), "ovUnknown");
  EXPECT_EQ(ReadObjectValue("OVINTEGER"), TObjectValue::ovInteger);
  EXPECT_EQ(ReadObjectValue("ovNothing"), TObjectValue::ovSingle);
  EXPECT_EQ(ReadDirection("in"), TObjectDirection::odOUT);
  EXPECT_EQ(ReadDirection("ODin"), TObjectDirection::odIN);
  EXPECT_EQ(ReadDirection("odINOUT"), TObjectDirection::odINOUT);
  EXPECT_EQ(ReadTypeObject("x"), TTypeObject::toObject);
  EXPECT_TRUE(ReadEncoded("TRUE"));
  EXPECT_FALSE(ReadEncoded("1"));
  EXPECT_EQ(DirectionName(static_cast<TObjectDirection>(7)), "odINOUT");
}

}  // namespace
}  // namespace livrexa

#include <gtest/gtest.h>

#include "rest/params/json_value.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

using enum TObjectValue;

const std::string kHead = R"({"ObjectType":"toObject", "Direction":"odINOUT", "Encoded":")";

TEST(JsonValue, NewValueObjectWritesTheEmptyObjectText) {
  TJSONValue v;
  EXPECT_TRUE(v.IsNull());
  EXPECT_EQ(v.ToJSON(), kHead + R"(false", "ValueType":"ovString", "TAGJSON":null})");
  EXPECT_EQ(v.Value(), "");
}

TEST(JsonValue, SetValueEncodesAndValueDecodes) {
  TJSONValue v;
  v.SetValue("Ação", true);
  EXPECT_FALSE(v.IsNull());
  EXPECT_EQ(v.StoredText(), "\"QcOnw6Nv\"");
  EXPECT_EQ(v.Value(), "Ação");
  EXPECT_EQ(v.ToJSON(), kHead + R"(true", "ValueType":"ovString", "TAGJSON":"QcOnw6Nv"})");
}

TEST(JsonValue, SevenBitEncodingLosesCharactersOnlyWhenUnencoded) {
  TJSONValue v;
  v.SetEncoding(TEncodeSelect::esASCII);
  v.SetValue("Ação", false);
  EXPECT_EQ(v.StoredText(), "\"A??o\"");
  EXPECT_EQ(v.Value(), "A??o");
  v.SetValue("Ação", true);
  EXPECT_EQ(v.Value(), "Ação");
  // A stored byte above 127 reads back as U+FFFD.
  v.SetEncoded(false);
  v.SetStoredText("\"A\xE7o\"");
  EXPECT_EQ(v.Value(), "A\xEF\xBF\xBDo");
}

TEST(JsonValue, WriteValueStoresByKind) {
  struct Case {
    TObjectValue kind;
    bool encoded;
    const char* text;
    const char* stored;
  } cases[] = {
      {ovString, false, "abc", "\"abc\""},
      {ovMemo, false, "abc", "\"abc\""},
      {ovDataSet, false, "[1]", "\"[1]\""},
      {ovObject, true, "abc", "\"abc\""},
      {ovObject, false, "{\"a\":1}", "{\"a\":1}"},
      {ovDateTime, false, "3914438400", "\"3914438400\""},
      {ovTimeStampOffset, false, "1", "\"1\""},
      {ovFloat, false, "12D5", "\"12,5\""},
      {ovCurrency, false, "-1D25E3", "\"-1,25E3\""},
      {ovInteger, false, "130", "130"},
      {ovBoolean, false, "true", "true"},
      {ovFixedChar, false, "abc", "abc"},  // not among the quoted kinds
      {ovBlob, true, "AAEC", "AAEC"},
      {ovInteger, false, "NULL", "NULL"},  // only "null" in this exact case is empty
  };
  for (const auto& c : cases) {
    TJSONValue v;
    v.SetObjectValue(c.kind);
    v.SetEncoded(c.encoded);
    v.WriteValue(c.text);
    EXPECT_EQ(v.StoredText(), c.stored) << ObjectValueName(c.kind) << " " << c.text;
    EXPECT_FALSE(v.IsNull()) << ObjectValueName(c.kind);
  }
}

TEST(JsonValue, EmptyOrNullTextMakesNullExceptForStringKinds) {
  struct Case {
    TObjectValue kind;
    const char* text;
    bool nullAfter;
  } cases[] = {
      {ovString, "", false},   {ovMemo, "null", false}, {ovFmtMemo, "", false},    {ovWideMemo, "", false},
      {ovFixedChar, "", true}, {ovInteger, "", true},   {ovBoolean, "null", true}, {ovDateTime, "", true},
  };
  for (const auto& c : cases) {
    TJSONValue v;
    v.SetObjectValue(c.kind);
    v.SetValue("x", false);  // not null, something stored
    v.WriteValue(c.text);
    EXPECT_TRUE(v.StoredText().empty()) << ObjectValueName(c.kind);
    EXPECT_EQ(v.IsNull(), c.nullAfter) << ObjectValueName(c.kind);
  }
  // An already null value stays null whatever the kind.
  TJSONValue fresh;
  fresh.WriteValue("");
  EXPECT_TRUE(fresh.IsNull());
}

TEST(JsonValue, ValueStripsQuotesAndBlanks) {
  struct Case {
    TObjectValue kind;
    bool encoded;
    const char* stored;
    const char* value;
  } cases[] = {
      {ovString, false, "\"  abc  \"", "abc"},
      {ovString, false, "\"\"abc\"\"", "abc"},         // string kind strips a second pair
      {ovFixedChar, false, "\"\"abc\"\"", "\"abc\""},  // other kinds only one
      {ovInteger, false, " ", " "},                    // stripped empty: taken again unstripped
      {ovString, true, "\"T0s=\"", "OK"},
      {ovBlob, true, "AAEC", "AAEC"},  // binary base64 returned as it is
  };
  for (const auto& c : cases) {
    TJSONValue v;
    v.SetObjectValue(c.kind);
    v.SetEncoded(c.encoded);
    v.SetStoredText(c.stored);
    EXPECT_EQ(v.Value(), c.value) << c.stored;
  }
}

TEST(JsonValue, ValueTextByKind) {
  struct Case {
    TObjectValue kind;
    bool encoded;
    bool null;
    const char* stored;
    const char* member;  // the text after the key
  } cases[] = {
      {ovInteger, false, false, "5", "5"},
      {ovBoolean, false, false, "true", "true"},
      {ovDateTime, false, false, "\"3914438400\"", "\"3914438400\""},
      {ovDate, false, false, "\"\"", "\"\"\"\""},  // the two quotes of an empty date, quoted again
      {ovFloat, false, false, "\"12,5\"", "\"12D5\""},
      {ovString, false, false, "\"a/b\"c\"", "\"a\\/b\\\"c\""},
      {ovString, false, false, "\"{\"x\":1}\"", "\"{\"x\":1}\""},  // braces: left unescaped
      {ovString, true, false, "\"T0s=\"", "\"T0s=\""},
      {ovString, true, true, "", "null"},
      {ovInteger, false, true, "", "null"},
      {ovBlob, true, false, "AAEC", "\"AAEC\""},
      {ovBlob, false, false, "AAEC", "\"AAEC\""},  // no quote inside: wrapped
      {ovObject, false, false, "{\"a\":1}", "{\"a\":1}"},
      {ovObject, true, false, "\"abc\"", "\"abc\""},
      {ovInteger, false, false, "\"null\"", "\"null\""},  // a quoted null text is kept as it is
  };
  for (const auto& c : cases) {
    TJSONValue v;
    v.SetObjectValue(c.kind);
    v.SetEncoded(c.encoded);
    v.SetNullValue(c.null);
    v.SetStoredText(c.stored);
    v.SetTagName("K");
    const std::string expected = kHead + (c.encoded ? "true" : "false") + "\", \"ValueType\":\"" +
                                 std::string(ObjectValueName(c.kind)) + "\", \"K\":" + c.member + "}";
    EXPECT_EQ(v.ToJSON(), expected) << ObjectValueName(c.kind) << " " << c.stored;
  }
}

TEST(JsonValue, EmptyStoredTextWritesEmptyOrNullByKind) {
  struct Case {
    TObjectValue kind;
    const char* member;
  } cases[] = {
      {ovString, "\"\""},       {ovBlob, "\"\""},      {ovInteger, "null"},
      {ovBoolean, "null"},      {ovFixedWideChar, ""},  // an empty text kind that is not written quoted
      {ovDateTime, "\"null\""},                         // dates take the "null" replacement text in quotes
  };
  for (const auto& c : cases) {
    TJSONValue v;
    v.SetObjectValue(c.kind);
    v.SetNullValue(false);
    v.SetTagName("K");
    const std::string json = v.ToJSON();
    EXPECT_EQ(json.substr(json.find("\"K\":") + 4), std::string(c.member) + "}") << ObjectValueName(c.kind);
  }
}

TEST(JsonValue, DatasetTypeObjectWritesAnArray) {
  TJSONValue v;
  v.SetTypeObject(TTypeObject::toDataset);
  v.SetObjectValue(ovDataSet);
  v.SetEncoded(true);
  v.SetNullValue(false);
  v.SetTagName("temp");
  v.SetStoredText(R"({"fields":[]}, {"lines":[]})");
  EXPECT_EQ(v.ToJSON(), R"({"ObjectType":"toDataset", "Direction":"odINOUT", "Encoded":"true", )"
                        R"("ValueType":"ovDataSet", "temp":[{"fields":[]}, {"lines":[]}]})");
}

TEST(JsonValue, PureJsonModeWritesTheBareText) {
  TJSONValue v;
  v.SetJsonMode(TJsonMode::jmPureJSON);
  v.SetValue("a\tb", false);
  EXPECT_EQ(v.ToJSON(), "a\\tb");
}

TEST(JsonValue, EmptyMemberUnderDefaultKeyGivesNoText) {
  TJSONValue v;
  v.SetObjectValue(ovObject);
  v.SetNullValue(false);
  v.SetStoredText("\"\"");
  EXPECT_EQ(v.ToJSON(), "");
  v.SetTagName("K");
  EXPECT_EQ(v.ToJSON(), kHead + R"(false", "ValueType":"ovObject", "K":})");
}

TEST(JsonValue, ClearMakesNullWithEmptyEncodedValue) {
  TJSONValue v;
  v.SetValue("abc", false);
  v.Clear();
  EXPECT_TRUE(v.IsNull());
  EXPECT_TRUE(v.Encoded());
  EXPECT_TRUE(v.StoredText().empty());
}

TEST(JsonValue, LoadFromJsonKeepsItsOwnEncodedFlag) {
  const std::string text = R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"true", )"
                           R"("ValueType":"ovString", "DwServerEventName":"VEVTVA=="})";
  TJSONValue plain;
  plain.LoadFromJSON(text);
  EXPECT_EQ(plain.TagName(), "dwservereventname");
  EXPECT_EQ(plain.TypeObject(), TTypeObject::toParam);
  EXPECT_EQ(plain.ObjectDirection(), TObjectDirection::odIN);
  EXPECT_FALSE(plain.Encoded());
  EXPECT_EQ(plain.Value(), "VEVTVA==");

  TJSONValue encoded;
  encoded.SetEncoded(true);
  encoded.LoadFromJSON(text);
  EXPECT_EQ(encoded.Value(), "TEST");
  EXPECT_FALSE(encoded.IsNull());
}

TEST(JsonValue, LoadFromJsonByKind) {
  TJSONValue dataset;
  dataset.LoadFromJSON(R"({"ObjectType":"toDataset", "Direction":"odINOUT", "Encoded":"false", )"
                       R"("ValueType":"ovDataSet", "temp":[1, 2]})");
  EXPECT_EQ(dataset.ObjectValue(), ovDataSet);
  EXPECT_EQ(dataset.StoredText(), "\"1, 2\"");

  TJSONValue blob;
  blob.LoadFromJSON(R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"true", )"
                    R"("ValueType":"ovBlob", "b":"AP8Q"})");
  EXPECT_EQ(blob.StoredText(), std::string("\x00\xff\x10", 3));

  TJSONValue integer;
  integer.LoadFromJSON(R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", )"
                       R"("ValueType":"ovInteger", "n":42})");
  EXPECT_EQ(integer.StoredText(), "42");
}

TEST(JsonValue, LoadFromJsonWithoutMembersChangesNothing) {
  for (const char* text : {"{}", "[1, 2]", "plain text", ""}) {
    TJSONValue v;
    v.SetValue("keep", false);
    v.LoadFromJSON(text);
    EXPECT_EQ(v.Value(), "keep") << text;
    EXPECT_EQ(v.TagName(), "TAGJSON");
  }
}

TEST(JsonValue, LoadFromJsonRejectsBrokenJsonWithItsOffset) {
  TJSONValue v;
  try {
    v.LoadFromJSON(R"({"a":})");
    ADD_FAILURE() << "no error";
  } catch (const LivrexaError& e) {
    EXPECT_NE(std::string(e.what()).find("byte offset 5"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace livrexa

#include <gtest/gtest.h>

#include "rest/params/dw_params.h"
#include "rest/params/json_param.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

using enum TObjectValue;

// A parameter as the server declares it: esASCII, encoded, named through ParamName.
std::unique_ptr<TJSONParam> Declared(const std::string& name, TObjectDirection dir,
                                     TObjectValue kind = ovString) {
  auto p = std::make_unique<TJSONParam>(TEncodeSelect::esASCII);
  p->SetParamName(name);
  p->SetObjectDirection(dir);
  p->SetObjectValue(kind);
  p->SetEncoded(true);
  return p;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const LivrexaError& e) {
    return e.what();
  }
  return "<no error>";
}

// The worked dataset example of two rows, as the dataset writer produces it.
const std::string kDatasetText =
    R"({"ObjectType":"toDataset", "Direction":"odINOUT", "Encoded":"true", "ValueType":"ovDataSet", )"
    R"("temp":[{"fields":[{"Field":"NUMERO", "Type":"ftInteger", "Primary":"S", "Required":"S", "Size":0, )"
    R"("Precision":0, "ReadOnly":"N", "Autogeneration":"N"}, {"Field":"NOME", "Type":"ftString", )"
    R"("Primary":"N", "Required":"N", "Size":60, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"}], )"
    R"("buildside":"D"}, {"lines":[{"line0":[1, "QW5h"]}, {"line1":[2, "Sm9zw6k="]}]}]})";

const std::string kOutText =
    R"({"ObjectType":"toParam", "Direction":"odOUT", "Encoded":"true", "ValueType":"ovString", )";

TEST(JsonParam, NewParameterDefaults) {
  TJSONParam p(TEncodeSelect::esASCII);
  EXPECT_TRUE(p.IsNull());
  EXPECT_TRUE(p.Encoded());
  EXPECT_FALSE(p.Binary());
  EXPECT_EQ(p.TypeObject(), TTypeObject::toParam);
  EXPECT_EQ(p.ObjectDirection(), TObjectDirection::odINOUT);
  EXPECT_EQ(p.JSONValue().ObjectDirection(), TObjectDirection::odINOUT);
  EXPECT_FALSE(p.JSONValue().Binary());
  EXPECT_EQ(p.ObjectValue(), ovString);
  EXPECT_FALSE(p.CriptOptions().UseCripto());
}

TEST(JsonParam, ServerParameterTexts) {
  auto ok = Declared("Resposta", TObjectDirection::odOUT);
  ok->SetAsString("OK");
  EXPECT_EQ(ok->ToJSON(), kOutText + R"("RESPOSTA":"T0s="})");

  auto never = Declared("Resposta", TObjectDirection::odOUT);
  EXPECT_EQ(never->ToJSON(), kOutText + R"("RESPOSTA":null})");

  auto table = Declared("Tabela", TObjectDirection::odOUT);
  table->SetAsString(kDatasetText);
  const std::string base64 = EncodeText(kDatasetText);
  ASSERT_EQ(kDatasetText.size(), 459u);
  EXPECT_EQ(base64.size(), 612u);
  EXPECT_EQ(base64.rfind("eyJPYmplY3RUeXBlIjoidG9EYXRhc2V0IiwgIkRpcmVjdGlvbiI6Im9kSU5P", 0), 0u);
  EXPECT_EQ(table->ToJSON(), kOutText + R"("TABELA":")" + base64 + "\"}");
  EXPECT_EQ(table->AsString(), kDatasetText);

  auto flag = Declared("Flag", TObjectDirection::odIN, ovInteger);
  flag->SetVariantValue(std::string("5"));
  EXPECT_EQ(
      flag->ToJSON(),
      R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", "ValueType":"ovInteger", "FLAG":5})");
  EXPECT_FALSE(flag->Encoded());
  EXPECT_EQ(flag->AsInteger(), 5);
}

TEST(JsonParam, NameIsUpperCaseAndTheValueKey) {
  TJSONParam p(TEncodeSelect::esUtf8);
  p.SetParamName("Resposta");
  EXPECT_EQ(p.ParamName(), "RESPOSTA");
  EXPECT_EQ(p.JSONValue().TagName(), "RESPOSTA");
}

TEST(JsonParam, PropertySettersReachTheValueObject) {
  TJSONParam p(TEncodeSelect::esUtf8);
  p.SetObjectDirection(TObjectDirection::odOUT);
  p.SetEncoded(false);
  EXPECT_EQ(p.JSONValue().ObjectDirection(), TObjectDirection::odOUT);
  EXPECT_FALSE(p.JSONValue().Encoded());
  for (int k = 0; k < kObjectValueCount; ++k) {
    const auto kind = static_cast<TObjectValue>(k);
    p.SetObjectValue(kind);
    const bool binary =
        kind == ovBlob || kind == ovGraphic || kind == ovOraBlob || kind == ovOraClob || kind == ovStream;
    EXPECT_EQ(p.Binary(), binary) << ObjectValueName(kind);
  }
}

TEST(JsonParam, EmptyAndNullTexts) {
  auto empty = Declared("Resposta", TObjectDirection::odOUT);
  empty->SetAsString("");
  EXPECT_TRUE(empty->IsNull());
  EXPECT_EQ(empty->ToJSON(), kOutText + R"("RESPOSTA":null})");

  auto nullWord = Declared("Resposta", TObjectDirection::odOUT);
  nullWord->SetAsString("null");
  EXPECT_FALSE(nullWord->IsNull());
  EXPECT_EQ(nullWord->ToJSON(), kOutText + R"("RESPOSTA":"bnVsbA=="})");
  EXPECT_EQ(nullWord->AsString(), "null");

  auto plain = Declared("Resposta", TObjectDirection::odOUT);
  plain->SetEncoded(false);
  plain->SetAsString("null");
  EXPECT_TRUE(plain->IsNull());
  EXPECT_TRUE(plain->JSONValue().StoredText().empty());
}

TEST(JsonParam, AccentedTextSurvivesOnlyEncodedUnderSevenBits) {
  auto encoded = Declared("Resposta", TObjectDirection::odOUT);
  encoded->SetAsString("Ação");
  EXPECT_EQ(encoded->ToJSON(), kOutText + R"("RESPOSTA":"QcOnw6Nv"})");
  EXPECT_EQ(encoded->AsString(), "Ação");

  auto plain = Declared("Resposta", TObjectDirection::odOUT);
  plain->SetEncoded(false);
  plain->SetAsString("Ação");
  EXPECT_EQ(plain->AsString(), "A??o");
}

TEST(JsonParam, IntegerAndBooleanOfEmptyBlankOrNullText) {
  // Value texts as a client may send them for an unencoded integer.
  for (const char* value : {R"("")", R"(" ")", "null", R"("null")"}) {
    TJSONParam p(TEncodeSelect::esASCII);
    p.FromJSON(std::string(R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", )") +
               R"("ValueType":"ovInteger", "flag":)" + value + "}");
    EXPECT_EQ(p.AsInteger(), 0) << value;
    EXPECT_EQ(p.AsLargeInt(), 0) << value;
    EXPECT_FALSE(p.AsBoolean()) << value;
  }
}

TEST(JsonParam, BooleanTexts) {
  struct Case {
    const char* text;
    bool value;
  } cases[] = {{"1", true},      {"true", true}, {"TRUE", true}, {"True", true},  {"0", false},
               {"false", false}, {"yes", false}, {"2", false},   {"NULL", false}, {"tRuE", true}};
  for (const auto& c : cases) {
    TJSONParam unencoded(TEncodeSelect::esASCII);
    unencoded.SetValue(c.text, false);
    EXPECT_EQ(unencoded.AsBoolean(), c.value) << c.text;
    // The same text sent as a plain form value: an encoded text parameter.
    TJSONParam form(TEncodeSelect::esASCII);
    form.SetAsString(c.text);
    EXPECT_EQ(form.AsBoolean(), c.value) << c.text;
  }
}

TEST(JsonParam, FormValueReadAsInteger) {
  TJSONParam form(TEncodeSelect::esASCII);
  form.SetAsString("130");
  EXPECT_EQ(form.JSONValue().StoredText(), "\"MTMw\"");
  EXPECT_EQ(form.AsInteger(), 130);
}

TEST(JsonParam, TypedWritesSetKindAndEncodedFlag) {
  struct Case {
    std::function<void(TJSONParam&)> set;
    TObjectValue kind;
    bool encoded;
    const char* stored;
  } cases[] = {
      {[](TJSONParam& p) { p.SetAsInteger(-7); }, ovInteger, false, "-7"},
      {[](TJSONParam& p) { p.SetAsLargeInt(1099511627777); }, ovLargeint, false, "1099511627777"},
      {[](TJSONParam& p) { p.SetAsSmallInt(3); }, ovSmallint, false, "3"},
      {[](TJSONParam& p) { p.SetAsBoolean(true); }, ovBoolean, false, "true"},
      {[](TJSONParam& p) { p.SetAsBoolean(false); }, ovBoolean, false, "false"},
      {[](TJSONParam& p) { p.SetAsFloat(12.5); }, ovFloat, false, "\"12,5\""},
      {[](TJSONParam& p) { p.SetAsCurrency(2.25); }, ovFloat, false, "\"2,25\""},
      {[](TJSONParam& p) { p.SetAsDate(EncodeDate(2024, 1, 15)); }, ovDateTime, false, "\"3914438400\""},
      {[](TJSONParam& p) { p.SetAsMemo("OK"); }, ovString, true, "\"T0s=\""},
      {[](TJSONParam& p) { p.SetDataValue(std::string("OK"), ovVariant); }, ovString, true, "\"T0s=\""},
      {[](TJSONParam& p) { p.SetDataValue(int64_t{12}, ovUnknown); }, ovString, true, "\"MTI=\""},
      {[](TJSONParam& p) { p.SetDataValue(std::string("7"), ovWord); }, ovWord, false, "7"},
      {[](TJSONParam& p) { p.SetDataValue(true, ovInteger); }, ovInteger, false, "-1"},
      {[](TJSONParam& p) { p.SetDataValue(2.5, ovInteger); }, ovInteger, false, "2"},  // ties to even
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    TJSONParam p(TEncodeSelect::esASCII);
    cases[i].set(p);
    EXPECT_EQ(p.ObjectValue(), cases[i].kind) << i;
    EXPECT_EQ(p.Encoded(), cases[i].encoded) << i;
    EXPECT_EQ(p.JSONValue().StoredText(), cases[i].stored) << i;
    EXPECT_FALSE(p.IsNull()) << i;
  }
}

TEST(JsonParam, TypedWritesThatChangeNothing) {
  struct Case {
    TVariant value;
    TObjectValue kind;
  } cases[] = {{TVarNull{}, ovString},
               {TVarUnassigned{}, ovInteger},
               {std::string("AAEC"), ovBlob},
               {std::string("1"), ovByte},
               {std::string("x"), ovCursor}};
  for (const auto& c : cases) {
    TJSONParam p(TEncodeSelect::esASCII);
    p.SetAsString("keep");
    p.SetDataValue(c.value, c.kind);
    EXPECT_EQ(p.AsString(), "keep") << ObjectValueName(c.kind);
  }
}

TEST(JsonParam, FloatsTravelWithTheLetterD) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.SetParamName("v");
  p.SetAsFloat(12.5);
  EXPECT_EQ(p.ToJSON(), R"({"ObjectType":"toParam", "Direction":"odINOUT", "Encoded":"false", )"
                        R"("ValueType":"ovFloat", "V":"12D5"})");
  EXPECT_DOUBLE_EQ(p.AsFloat(), 12.5);

  TJSONParam in(TEncodeSelect::esASCII);
  in.FromJSON(
      R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", "ValueType":"ovCurrency", "v":"12D5"})");
  EXPECT_DOUBLE_EQ(in.AsCurrency(), 12.5);
  EXPECT_DOUBLE_EQ(in.AsExtended(), 12.5);
}

TEST(JsonParam, DateTimeToTheSecond) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.SetParamName("d");
  p.SetAsDateTime(EncodeDateTime(2024, 1, 15, 13, 30, 0));
  EXPECT_EQ(p.ToJSON(), R"({"ObjectType":"toParam", "Direction":"odINOUT", "Encoded":"false", )"
                        R"("ValueType":"ovDateTime", "D":"3914487000"})");
  EXPECT_EQ(DateTimeToWire(p.AsDateTime()), 3914487000);
  EXPECT_EQ(DateTimeToStr(p.AsDate()), "15/01/2024 13:30:00");

  TJSONParam text(TEncodeSelect::esASCII);
  text.SetDataValue(std::string("15/01/2024 13:30"), ovDate);
  EXPECT_EQ(DateTimeToWire(text.AsDateTime()), 3914487000);
}

TEST(JsonParam, ConversionErrors) {
  struct Case {
    const char* json_value;
    std::function<void(const TJSONParam&)> read;
    const char* message;
  } cases[] = {
      {R"("1a")", [](const TJSONParam& p) { p.AsInteger(); }, "'1a' is not a valid integer value"},
      {R"("3000000000")", [](const TJSONParam& p) { p.AsInteger(); },
       "'3000000000' is not a valid integer value"},
      {R"("abc")", [](const TJSONParam& p) { p.AsFloat(); }, "'abc' is not a valid floating point value"},
      {R"("12.5")", [](const TJSONParam& p) { p.AsFloat(); }, "'12.5' is not a valid floating point value"},
      {R"("15/01/2024")", [](const TJSONParam& p) { p.AsDateTime(); },
       "'15/01/2024' is not a valid integer value"},
      {"null", [](const TJSONParam& p) { p.AsFloat(); },
       "Could not convert variant of type (Null) into type (Double)"},
      {"null", [](const TJSONParam& p) { p.AsDate(); },
       "Could not convert variant of type (Null) into type (Date)"},
  };
  for (const auto& c : cases) {
    TJSONParam p(TEncodeSelect::esASCII);
    p.FromJSON(std::string(R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", )") +
               R"("ValueType":"ovString", "v":)" + c.json_value + "}");
    EXPECT_EQ(ErrorOf([&] { c.read(p); }), c.message) << c.json_value;
  }
  TJSONParam p(TEncodeSelect::esASCII);
  EXPECT_EQ(ErrorOf([&] { p.SetDataValue(std::string("x"), ovInteger); }),
            "Could not convert variant of type (UnicodeString) into type (Int64)");
  EXPECT_EQ(ErrorOf([&] { p.SetDataValue(std::string("maybe"), ovBoolean); }),
            "Could not convert variant of type (UnicodeString) into type (Boolean)");
  EXPECT_EQ(ErrorOf([&] { p.SetDataValue(std::string("31/02/2024"), ovDate); }),
            "Could not convert variant of type (UnicodeString) into type (Date)");
}

TEST(JsonParam, FromJsonClientExamples) {
  TDWParams list;
  list.SetEncoding(TEncodeSelect::esASCII);
  TJSONParam& filtro = *list.Add(std::make_unique<TJSONParam>(TEncodeSelect::esASCII));
  filtro.FromJSON(
      R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"true", "ValueType":"ovString", "Filtro":"QW5h"})");
  EXPECT_EQ(filtro.ParamName(), "filtro");
  EXPECT_EQ(filtro.JSONValue().TagName(), "filtro");
  EXPECT_EQ(filtro.JSONValue().StoredText(), "\"QW5h\"");
  EXPECT_EQ(filtro.AsString(), "Ana");
  EXPECT_EQ(filtro.ObjectDirection(), TObjectDirection::odIN);
  EXPECT_FALSE(filtro.IsNull());
  EXPECT_EQ(list.GetRecName("FILTRO"), &filtro);
  EXPECT_EQ(list.GetRecName("Filtro"), &filtro);

  TJSONParam flag(TEncodeSelect::esASCII);
  flag.FromJSON(
      R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", "ValueType":"ovInteger", "flag":130})");
  EXPECT_EQ(flag.ParamName(), "flag");
  EXPECT_EQ(flag.ObjectValue(), ovInteger);
  EXPECT_FALSE(flag.Encoded());
  EXPECT_EQ(flag.AsInteger(), 130);
  EXPECT_EQ(flag.ToJSON(), R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", )"
                           R"("ValueType":"ovInteger", "flag":130})");
}

TEST(JsonParam, FromJsonReadsMembersByPositionNotByKey) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.FromJSON(
      R"({"Direction":"odIN", "ObjectType":"toParam", "ValueType":"ovInteger", "Encoded":"true", "X":"QW5h"})");
  EXPECT_EQ(p.TypeObject(), TTypeObject::toObject);         // "odIN" is no type object
  EXPECT_EQ(p.ObjectDirection(), TObjectDirection::odOUT);  // "toParam" is no direction
  EXPECT_FALSE(p.Encoded());                                // "ovInteger" is not "true"
  EXPECT_EQ(p.ObjectValue(), ovSingle);                     // "true" is no kind
  EXPECT_EQ(p.ParamName(), "x");
}

TEST(JsonParam, FromJsonNameFallbacks) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.FromJSON(
      R"({"ObjectType":"toNothing", "Direction":"in", "Encoded":"TRUE", "ValueType":"ovText", "a":"QW5h"})");
  EXPECT_EQ(p.TypeObject(), TTypeObject::toObject);
  EXPECT_EQ(p.ObjectDirection(), TObjectDirection::odOUT);
  EXPECT_TRUE(p.Encoded());
  EXPECT_EQ(p.ObjectValue(), ovSingle);
}

TEST(JsonParam, FromJsonCutsTheValueFromTheRawText) {
  struct Case {
    const char* tail;    // the text after the fifth key's colon
    const char* stored;  // ovFixedChar is stored bare
    bool null;
  } cases[] = {
      {R"("a\"b"})", R"(a\"b)", false},          // escapes are not decoded
      {R"("a}b"})", "a}b", false},               // a brace inside the value
      {R"({"x":[1]}})", R"({"x":[1]})", false},  // an object value kept as text
      {R"(null})", "", true},
      {R"(""})", "", true},
      {R"("x" } )", "x\" ", false},  // up to the last brace; no quote left to remove
  };
  for (const auto& c : cases) {
    TJSONParam p(TEncodeSelect::esASCII);
    p.SetEncoded(false);
    p.FromJSON(std::string(R"({"ObjectType":"toParam", "Direction":"odIN", "Encoded":"false", )") +
               R"("ValueType":"ovFixedChar", "v":)" + c.tail);
    EXPECT_EQ(p.JSONValue().StoredText(), c.stored) << c.tail;
    EXPECT_EQ(p.IsNull(), c.null) << c.tail;
  }
}

TEST(JsonParam, FromJsonIgnoresCrLfPairsAndNonJsonPrefix) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.FromJSON(
      "{\"ObjectType\":\"toParam\",\r\n \"Direction\":\"odIN\", \"Encoded\":\"true\", "
      "\"ValueType\":\"ovString\", \"f\":\"QW\r\n5h\"}");
  EXPECT_EQ(p.AsString(), "Ana");

  TJSONParam text(TEncodeSelect::esASCII);
  text.SetParamName("keep");
  text.FromJSON("plain text");  // no members, no value text
  EXPECT_EQ(text.ParamName(), "KEEP");
  EXPECT_TRUE(text.IsNull());
}

TEST(JsonParam, FromJsonSyntaxErrorNamesTheOffset) {
  struct Case {
    const char* text;
    const char* where;
  } cases[] = {{R"({"a":})", "byte offset 5"},
               {R"({"ObjectType":"toParam" "Direction":"odIN"})", "byte offset 24"},
               {R"([1, 2)", "byte offset 5"},
               {R"({"a":1} x)", "byte offset 8"}};
  for (const auto& c : cases) {
    TJSONParam p(TEncodeSelect::esASCII);
    const std::string message = ErrorOf([&] { p.FromJSON(c.text); });
    EXPECT_NE(message.find(c.where), std::string::npos) << c.text << " -> " << message;
  }
}

TEST(JsonParam, BinaryParameterKeepsItsBytes) {
  const std::string bytes("\x00\xff\x10\x80", 4);
  TJSONParam p(TEncodeSelect::esASCII);
  p.SetParamName("foto");
  p.SetObjectValue(ovBlob);
  p.SetValue(EncodeBinary(bytes), true);
  EXPECT_TRUE(p.Binary());
  EXPECT_TRUE(p.JSONValue().Binary());
  EXPECT_EQ(p.ToJSON(), R"({"ObjectType":"toParam", "Direction":"odINOUT", "Encoded":"true", )"
                        R"("ValueType":"ovBlob", "FOTO":"AP8QgA=="})");
  EXPECT_EQ(std::get<TVarBytes>(p.GetValue(ovBlob)).Bytes, bytes);

  TJSONParam in(TEncodeSelect::esASCII);
  in.FromJSON(p.ToJSON());
  EXPECT_TRUE(in.Binary());
  EXPECT_EQ(std::get<TVarBytes>(in.GetValue(ovBlob)).Bytes, bytes);
}

TEST(JsonParam, PureJsonWrapsABareValue) {
  TJSONParam p(TEncodeSelect::esUtf8);
  p.SetParamName("Nome");
  p.SetJsonMode(TJsonMode::jmPureJSON);
  p.SetEncoded(false);
  p.SetAsString("Ana");
  EXPECT_EQ(p.ToJSON(), R"({"NOME" : "Ana"})");
}

TEST(JsonParam, ClearIsEmptyAndNull) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.SetAsString("x");
  EXPECT_FALSE(p.IsEmpty());
  p.Clear();
  EXPECT_TRUE(p.IsNull());
  EXPECT_TRUE(p.IsEmpty());
  EXPECT_TRUE(p.JSONValue().IsNull());
}

TEST(JsonParam, CopyFromTakesSettingsAndStoresTheTextEncoded) {
  auto src = Declared("Resposta", TObjectDirection::odOUT);
  src->SetAsString("Ação");
  TJSONParam dst(TEncodeSelect::esASCII);
  dst.CopyFrom(*src);
  EXPECT_EQ(dst.ParamName(), "RESPOSTA");
  EXPECT_EQ(dst.ObjectDirection(), TObjectDirection::odOUT);
  EXPECT_EQ(dst.AsString(), "Ação");
  EXPECT_EQ(dst.ToJSON(), src->ToJSON());

  auto flag = Declared("Flag", TObjectDirection::odIN, ovInteger);
  flag->SetAsInteger(130);
  TJSONParam copy(TEncodeSelect::esASCII);
  copy.CopyFrom(*flag);
  EXPECT_EQ(copy.ObjectValue(), ovInteger);
  EXPECT_TRUE(copy.Encoded());
  EXPECT_EQ(copy.AsInteger(), 130);
}

TEST(JsonParam, VariantValueDeciphersTextKindsOnlyWhenAsked) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.SetAsString("cipher");
  EXPECT_EQ(std::get<std::string>(p.GetVariantValue()), "cipher");

  TCripto options;
  options.SetUseCripto(true);
  options.SetKeyString("k");
  p.SetCriptOptions(options);
  EXPECT_EQ(ErrorOf([&] { p.GetVariantValue(); }), "No cipher available for DWParam");

  options.SetDecipher([](const std::string& text, const std::string& key) { return key + ":" + text; });
  p.SetCriptOptions(options);
  EXPECT_EQ(std::get<std::string>(p.GetVariantValue()), "k:cipher");
  EXPECT_EQ(p.AsString(), "cipher");  // the accessors never decipher

  TJSONParam n(TEncodeSelect::esASCII);
  n.SetAsInteger(4);
  n.SetCriptOptions(options);
  EXPECT_EQ(std::get<int64_t>(n.GetVariantValue()), 4);
}

TEST(JsonParam, GetValueByRequestedKind) {
  TJSONParam p(TEncodeSelect::esASCII);
  p.SetValue("42", false);
  EXPECT_EQ(std::get<std::string>(p.GetValue(ovMemo)), "42");
  EXPECT_EQ(std::get<int64_t>(p.GetValue(ovSingle)), 42);  // ovSingle reads as an integer
  EXPECT_EQ(std::get<double>(p.GetValue(ovBCD)), 42.0);
  EXPECT_EQ(std::get<TVarDate>(p.GetValue(ovTime)).Value, WireToDateTime(42));
  EXPECT_TRUE(std::holds_alternative<TVarUnassigned>(p.GetValue(ovObject)));
  EXPECT_TRUE(std::holds_alternative<TVarUnassigned>(p.GetValue(ovCursor)));
  // Not binary: the stored bytes themselves (here with their quotes).
  EXPECT_EQ(std::get<TVarBytes>(p.GetValue(ovBytes)).Bytes, "\"42\"");

  TJSONParam empty(TEncodeSelect::esASCII);
  EXPECT_TRUE(std::holds_alternative<TVarNull>(empty.GetValue(ovFloat)));
  EXPECT_TRUE(std::holds_alternative<TVarNull>(empty.GetValue(ovDate)));
  EXPECT_TRUE(std::holds_alternative<TVarNull>(empty.GetValue(ovBlob)));
  EXPECT_TRUE(std::holds_alternative<TVarUnassigned>(empty.GetValue(ovInteger)));
}

}  // namespace
}  // namespace livrexa

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "rest/dataset/dataset_json.h"
#include "rest/dataset/mem_table.h"
#include "rest/params/json_value.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

using enum TFieldType;

// The query of the worked example: NUMERO (integer, key, required) and NOME (text of 60).
TFDMemTable ExampleQuery() {
  TFDMemTable t;
  t.AddFieldDef("NUMERO", ftInteger);
  t.AddFieldDef("NOME", ftString, 60);
  t.SetKeyField(0);
  t.SetRequired(0, true);
  t.CreateDataSet();
  t.AppendRecord({int64_t{1}, std::string("Ana")});
  t.AppendRecord({int64_t{2}, std::string("José")});
  return t;
}

const std::string kExample =
    R"({"ObjectType":"toDataset", "Direction":"odINOUT", "Encoded":"true", "ValueType":"ovDataSet", )"
    R"("temp":[{"fields":[{"Field":"NUMERO", "Type":"ftInteger", "Primary":"S", "Required":"S", "Size":0, )"
    R"("Precision":0, "ReadOnly":"N", "Autogeneration":"N"}, {"Field":"NOME", "Type":"ftString", )"
    R"("Primary":"N", "Required":"N", "Size":60, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"}], )"
    R"("buildside":"D"}, {"lines":[{"line0":[1, "QW5h"]}, {"line1":[2, "Sm9zw6k="]}]}]})";

// The dataset text the "Consulta" handler stores: esASCII, table "temp", every value encoded.
std::string WriteAsHandler(TRowSet& rows, TEncodeSelect encoding = TEncodeSelect::esASCII) {
  TJSONValue v;
  v.SetEncoding(encoding);
  v.LoadFromDataset("temp", rows, true, TJsonMode::jmDataware, "", "", false, false);
  return v.ToJSON();
}

void ReadAsHandler(const std::string& text, TFDMemTable& dest) {
  TJSONValue v;
  v.WriteToDataset(TDatasetType::dtFull, text, dest, true);
}

// A dataset text with the given column objects and line arrays.
std::string Dataset(const std::string& columns, const std::string& lines, const char* encoded = "true") {
  return std::string(R"({"ObjectType":"toDataset", "Direction":"odINOUT", "Encoded":")") + encoded +
         R"(", "ValueType":"ovDataSet", "temp":[{"fields":[)" + columns +
         R"(], "buildside":"D"}, {"lines":[)" + lines + "]}]}";
}

std::string Column(const std::string& name, const std::string& type, int size = 0, const char* primary = "N",
                   const char* autogeneration = "N") {
  return R"({"Field":")" + name + R"(", "Type":")" + type + R"(", "Primary":")" + primary +
         R"(", "Required":"N", "Size":)" + std::to_string(size) + R"(, "Precision":0, "ReadOnly":"N", )" +
         R"("Autogeneration":")" + autogeneration + R"("})";
}

template <typename F>
std::string FailureOf(F&& f) {
  try {
    f();
  } catch (const LivrexaError& e) {
    return e.what();
  }
  return "(no failure)";
}

// The text between "[" of the first line and its "]".
std::string FirstLineValues(const std::string& text) {
  const std::string marker = R"({"line0":[)";
  const size_t start = text.find(marker);
  if (start == std::string::npos) return "(no line)";
  const size_t end = text.find("]}", start);
  return text.substr(start + marker.size(), end - start - marker.size());
}

TEST(DatasetText, WorkedExampleIsWrittenByteForByte) {
  TFDMemTable query = ExampleQuery();
  const std::string text = WriteAsHandler(query);
  EXPECT_EQ(text, kExample);
  EXPECT_EQ(text.size(), 459u);

  const std::string wire = EncodeText(text);
  EXPECT_EQ(wire.size(), 612u);
  EXPECT_EQ(wire.substr(0, 60), "eyJPYmplY3RUeXBlIjoidG9EYXRhc2V0IiwgIkRpcmVjdGlvbiI6Im9kSU5P");
  EXPECT_EQ(DecodeText(wire), kExample);
}

TEST(DatasetText, WorkedExampleReadsBackIntoTheSameTable) {
  TFDMemTable dest;
  TJSONValue v;
  v.WriteToDataset(TDatasetType::dtFull, DecodeText(EncodeText(kExample)), dest, true);

  EXPECT_EQ(v.TypeObject(), TTypeObject::toDataset);
  EXPECT_EQ(v.ObjectValue(), TObjectValue::ovDataSet);
  EXPECT_TRUE(v.Encoded());
  EXPECT_EQ(v.TagName(), "temp");

  ASSERT_TRUE(dest.Active());
  ASSERT_EQ(dest.FieldCount(), 2u);
  EXPECT_EQ(dest.FieldDef(0).Name, "NUMERO");
  EXPECT_EQ(dest.FieldDef(0).DataType, ftInteger);
  EXPECT_TRUE(dest.FieldDef(0).Primary);
  EXPECT_TRUE(dest.InUpdate(0) && dest.InWhere(0));
  EXPECT_EQ(dest.FieldDef(1).Name, "NOME");
  EXPECT_EQ(dest.FieldDef(1).DataType, ftString);
  EXPECT_EQ(dest.FieldDef(1).Size, 60);
  EXPECT_FALSE(dest.FieldDef(1).Primary);
  ASSERT_EQ(dest.RecordCount(), 2u);
  EXPECT_EQ(dest.RecNo(), 1u) << "the reader leaves the table on its first row";
  EXPECT_EQ(dest.AsInteger("NUMERO"), 1);
  EXPECT_EQ(dest.AsString("NOME"), "Ana");
  dest.Next();
  EXPECT_EQ(dest.AsInteger("NUMERO"), 2);
  EXPECT_EQ(dest.AsString("NOME"), "José");

  // Written again, only "Required" differs: the reader does not take it from the text.
  std::string expected = kExample;
  expected.replace(expected.find(R"("Required":"S")"), 14, R"("Required":"N")");
  EXPECT_EQ(WriteAsHandler(dest), expected);
}

TEST(DatasetText, ValueFormsByFieldType) {
  struct Case {
    TFieldType type;
    int size, precision;
    TFieldValue value;
    const char* written;
  } cases[] = {
      {ftSmallint, 0, 0, int64_t{7}, "7"},
      {ftInteger, 0, 0, int64_t{-1}, "-1"},
      {ftLargeint, 0, 0, int64_t{9007199254740993}, "9007199254740993"},
      {ftBoolean, 0, 0, true, "true"},
      {ftBoolean, 0, 0, false, "false"},
      {ftFloat, 0, 0, 12.5, R"("12D5")"},
      {ftCurrency, 0, 0, -1234.75, R"("-1234D75")"},
      {ftExtended, 0, 0, 0.1, R"("0D1")"},
      {ftSingle, 0, 0, 3.0, R"("3")"},
      {ftFMTBcd, 15, 2, 12.345, R"("12D35")"},
      {ftBCD, 15, 2, 1.5e20, R"("1D5E20")"},
      {ftDate, 0, 0, EncodeDate(2024, 1, 15), R"("3914438400")"},
      {ftDateTime, 0, 0, EncodeDateTime(2024, 1, 15, 13, 30, 0), R"("3914487000")"},
      {ftTimeStamp, 0, 0, EncodeDateTime(2024, 1, 15, 13, 30, 0), R"("3914487000")"},
      {ftTime, 0, 0, EncodeTime(13, 30, 0), R"("48600")"},
      {ftTime, 0, 0, 0.0, R"("0")"},
      {ftDate, 0, 0, EncodeDate(1899, 12, 29), R"("-86400")"},
      {ftString, 60, 0, std::string("José"), R"("Sm9zw6k=")"},
      {ftString, 60, 0, std::string(""), R"("")"},
      {ftFixedChar, 3, 0, std::string("Ana"), R"("QW5h")"},
      {ftWideString, 9, 0, std::string("Ação"), R"("QcOnw6Nv")"},
      {ftMemo, 0, 0, std::string("OK"), R"("T0s=")"},
      {ftWideMemo, 0, 0, std::string("OK"), R"("T0s=")"},
      {ftBlob, 0, 0, std::string("\x00\xff", 2), R"("AP8=")"},
      {ftGraphic, 0, 0, std::string("\x89PNG"), R"("iVBORw==")"},
      {ftVarBytes, 16, 0, std::string("ab"), R"("YWI=")"},
      {ftWord, 0, 0, int64_t{12}, R"("12")"},
      {ftAutoInc, 0, 0, int64_t{5}, R"("5")"},
      {ftLongWord, 0, 0, int64_t{4000000000}, R"("4000000000")"},
      {ftGuid, 38, 0, std::string("{A\"B}"), R"("{A"B}")"},  // other types: text as it is, unescaped
      {ftInteger, 0, 0, TFieldValue{}, "null"},
      {ftString, 10, 0, TFieldValue{}, "null"},
      {ftDate, 0, 0, TFieldValue{}, "null"},
      {ftBlob, 0, 0, TFieldValue{}, "null"},
  };
  for (const auto& c : cases) {
    TFDMemTable t;
    t.AddFieldDef("F", c.type, c.size, c.precision);
    t.CreateDataSet();
    t.AppendRecord({c.value});
    EXPECT_EQ(FirstLineValues(WriteDatasetText(t)), c.written) << FieldTypeName(c.type);
  }
}

TEST(DatasetText, FloatValuesAreTheWireFormOfTheirFifteenDigitText) {
  // The writer lays floats out itself; every value must come out as FloatToWire of FloatToText.
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.1,
                                0.5,
                                12.5,
                                1e15,
                                1e14,
                                999999999999999.0,
                                999999999999999.5,
                                9999999999999999.0,
                                123456789012345.6,
                                0.0001,
                                0.00001,
                                0.000123456789012345678,
                                1.5e20,
                                -2.5e-7,
                                5e-324,
                                2.2250738585072014e-308,
                                1.7976931348623157e308,
                                0.30000000000000004,
                                2.675,
                                1.0000000000000002,
                                0.9999999999999999,
                                99.99999999999999,
                                1234567.891,
                                1e16,
                                1e21,
                                1e-4,
                                9.5e-5,
                                100.0,
                                1e100,
                                3.0000000000000004e-10};
  std::mt19937_64 rng(2024);
  for (int i = 0; i < 60000; ++i) {
    const uint64_t bits = rng();
    double random;
    std::memcpy(&random, &bits, sizeof random);
    if (std::isfinite(random)) values.push_back(random);
    values.push_back(static_cast<double>(static_cast<int64_t>(rng() % 20000000) - 10000000) / 7.0);
    values.push_back(static_cast<double>(rng() % 100000000) / 100.0);
    values.push_back(static_cast<double>(rng() % 1000) * std::pow(10.0, static_cast<int>(rng() % 40) - 20));
  }
  TFDMemTable t;
  t.AddFieldDef("V", ftFloat);
  t.CreateDataSet();
  for (double v : values) t.AppendRecord({v});
  const std::string text = WriteDatasetText(t);
  size_t pos = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string expected = "{\"line" + std::to_string(i) + "\":[\"" + FloatToWire(values[i]) + "\"]}";
    pos = text.find("{\"line" + std::to_string(i) + "\":", pos);
    ASSERT_NE(pos, std::string::npos);
    ASSERT_EQ(text.compare(pos, expected.size(), expected), 0)
        << "value " << values[i] << " written as " << text.substr(pos, expected.size() + 8);
  }
}

TEST(DatasetText, ColumnObjectsCrossSizeAndPrecisionForNumbers) {
  struct Case {
    TFieldType type;
    int size, precision;
    const char* column;
  } cases[] = {
      {ftString, 60, 0,
       R"({"Field":"F", "Type":"ftString", "Primary":"N", "Required":"N", "Size":60, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"})"},
      {ftInteger, 0, 0,
       R"({"Field":"F", "Type":"ftInteger", "Primary":"N", "Required":"N", "Size":0, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"})"},
      {ftFMTBcd, 15, 2,
       R"({"Field":"F", "Type":"ftFMTBcd", "Primary":"N", "Required":"N", "Size":15, "Precision":2, "ReadOnly":"N", "Autogeneration":"N"})"},
      {ftBCD, 18, 4,
       R"({"Field":"F", "Type":"ftBCD", "Primary":"N", "Required":"N", "Size":18, "Precision":4, "ReadOnly":"N", "Autogeneration":"N"})"},
      {ftFloat, 0, 0,
       R"({"Field":"F", "Type":"ftFloat", "Primary":"N", "Required":"N", "Size":15, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"})"},
      {ftSingle, 0, 7,
       R"({"Field":"F", "Type":"ftSingle", "Primary":"N", "Required":"N", "Size":7, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"})"},
      {ftExtended, 0, 0,
       R"({"Field":"F", "Type":"ftFloat", "Primary":"N", "Required":"N", "Size":15, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"})"},
      {ftDate, 0, 0,
       R"({"Field":"F", "Type":"ftDate", "Primary":"N", "Required":"N", "Size":0, "Precision":0, "ReadOnly":"N", "Autogeneration":"N"})"},
  };
  for (const auto& c : cases) {
    TFDMemTable t;
    t.AddFieldDef("F", c.type, c.size, c.precision);
    t.CreateDataSet();
    EXPECT_EQ(WriteDatasetText(t),
              std::string(R"({"fields":[)") + c.column + R"(], "buildside":"D"}, {"lines":[]})")
        << FieldTypeName(c.type);
  }

  TFDMemTable flags;
  flags.AddFieldDef("ID", ftAutoInc);
  flags.SetReadOnly(0, true);
  flags.SetAutoInc(0, true);
  flags.CreateDataSet();
  EXPECT_NE(WriteDatasetText(flags).find(R"("ReadOnly":"S", "Autogeneration":"S"})"), std::string::npos);
}

TEST(DatasetText, EmptyResultHasNoLinesAndReadsBackWithItsColumns) {
  TFDMemTable query = ExampleQuery();
  query.EmptyDataSet();
  const std::string text = WriteAsHandler(query);
  EXPECT_NE(text.find(R"(], "buildside":"D"}, {"lines":[]}]})"), std::string::npos) << text;

  TFDMemTable dest;
  ReadAsHandler(text, dest);
  EXPECT_TRUE(dest.Active());
  EXPECT_EQ(dest.FieldCount(), 2u);
  EXPECT_EQ(dest.RecordCount(), 0u);
  EXPECT_TRUE(dest.Eof());
}

TEST(DatasetText, NotOpenQueryLeavesTheTextOfANewValueObject) {
  // The handler loads the dataset only when its query is open; otherwise "Tabela" carries this.
  TJSONValue untouched;
  untouched.SetEncoding(TEncodeSelect::esASCII);
  EXPECT_EQ(
      untouched.ToJSON(),
      R"({"ObjectType":"toObject", "Direction":"odINOUT", "Encoded":"false", "ValueType":"ovString", "TAGJSON":null})");

  // A closed row set that cannot open itself is refused; a closed in-memory table is opened.
  struct ClosedRows : TRowSet {
    bool Active() const override { return false; }
    size_t FieldCount() const override { return 0; }
    const TFieldDef& FieldDef(size_t) const override { throw LivrexaError("no fields"); }
    size_t RecordCount() const override { return 0; }
    void First() override {}
    void Next() override {}
    bool Eof() const override { return true; }
    const TFieldValue& Value(size_t) const override { throw LivrexaError("no fields"); }
  } closed;
  TJSONValue v;
  EXPECT_EQ(FailureOf([&] { v.LoadFromDataset("temp", closed); }),
            "Cannot perform this operation on a closed dataset");

  TFDMemTable table;
  table.AddFieldDef("N", ftInteger);
  v.LoadFromDataset("temp", table);
  EXPECT_TRUE(table.Active());
  EXPECT_NE(v.ToJSON().find(R"({"lines":[]})"), std::string::npos);
}

TEST(DatasetText, WriterLeavesTheCursorOnTheFirstRowAndNamesTheTable) {
  TFDMemTable query = ExampleQuery();
  query.Last();
  TJSONValue v;
  v.LoadFromDataset("Consulta", query);
  EXPECT_EQ(query.RecNo(), 1u);
  EXPECT_EQ(v.TagName(), "consulta");
  EXPECT_EQ(v.TypeObject(), TTypeObject::toDataset);
  EXPECT_EQ(v.ObjectValue(), TObjectValue::ovDataSet);
  EXPECT_FALSE(v.IsNull());

  TJSONValue blank;
  blank.LoadFromDataset("  ", query);
  EXPECT_EQ(blank.TagName(), "rdwtable");
  EXPECT_NE(blank.ToJSON().find(R"("ValueType":"ovDataSet", "rdwtable":[{"fields":)"), std::string::npos);
}

TEST(DatasetText, AccentedFieldNamesTravelAsQuestionMarksUnderAscii) {
  TFDMemTable query;
  query.AddFieldDef("DESCRIÇÃO", ftString, 10);
  query.CreateDataSet();
  query.AppendRecord({std::string("Ação")});

  const std::string ascii = WriteAsHandler(query);
  EXPECT_NE(ascii.find(R"("Field":"DESCRI??O")"), std::string::npos);
  EXPECT_NE(ascii.find(R"("QcOnw6Nv")"), std::string::npos)
      << "accented values survive in their encoded form";
  TFDMemTable dest;
  ReadAsHandler(ascii, dest);
  ASSERT_EQ(dest.FieldCount(), 1u);
  EXPECT_EQ(dest.FieldDef(0).Name, "DESCRI??O");
  EXPECT_EQ(dest.AsString(0), "Ação");

  EXPECT_NE(WriteAsHandler(query, TEncodeSelect::esUtf8).find(R"("Field":"DESCRIÇÃO")"), std::string::npos);
}

TEST(DatasetText, UnencodedTextIsEscapedAndMemosStayEncoded) {
  TFDMemTable t;
  t.AddFieldDef("S", ftString, 40);
  t.AddFieldDef("M", ftMemo);
  t.CreateDataSet();
  t.AppendRecord({std::string("a\"b/c\\ é€😀\t"), std::string("OK")});

  TDatasetWriteOptions plain;
  plain.EncodedValue = false;
  plain.Utf8SpecialChars = false;
  EXPECT_EQ(FirstLineValues(WriteDatasetText(t, plain)), R"("a\"b\/c\\ é€😀\t", "T0s=")");

  TDatasetWriteOptions special = plain;
  special.Utf8SpecialChars = true;
  EXPECT_EQ(FirstLineValues(WriteDatasetText(t, special)),
            R"("a\"b\/c\\ \u00E9\u20AC\uD83D\uDE00\t", "T0s=")");

  // Under an 8-bit encoding the lines go through Windows-1252, then the 7-bit rule.
  TJSONValue v;
  v.SetEncoding(TEncodeSelect::esASCII);
  v.SetUtf8SpecialChars(false);
  v.LoadFromDataset("temp", t, false);
  EXPECT_NE(v.ToJSON().find(R"({"line0":["a\"b\/c\\ ???\t", "T0s="]})"), std::string::npos) << v.ToJSON();

  // Without backslashes (the reader unescapes twice), the special escaping reads back intact.
  TFDMemTable back;
  back.AddFieldDef("S", ftString, 40);
  back.AddFieldDef("M", ftMemo);
  back.CreateDataSet();
  back.AppendRecord({std::string("Olá \"x\"/é€😀\t"), std::string("OK")});
  TFDMemTable dest;
  ReadAsHandler(Dataset(Column("S", "ftString", 40) + ", " + Column("M", "ftMemo"),
                        "{\"line0\":[" + FirstLineValues(WriteDatasetText(back, special)) + "]}", "false"),
                dest);
  EXPECT_EQ(dest.AsString("S"), "Olá \"x\"/é€😀\t");
  EXPECT_EQ(dest.AsString("M"), "OK");
}

TEST(DatasetText, WriterOptionsOfOtherClients) {
  TFDMemTable t;
  t.AddFieldDef("Num", ftInteger);
  t.AddFieldDef("Dia", ftDate);
  t.AddFieldDef("Hora", ftTime);
  t.AddFieldDef("Quando", ftDateTime);
  t.CreateDataSet();
  const TDateTime when = EncodeDateTime(2024, 1, 15, 13, 30, 5);
  t.AppendRecord({int64_t{3}, when, when, when});

  TDatasetWriteOptions pure;
  pure.JsonMode = TJsonMode::jmPureJSON;
  pure.DateTimeFormat = "dd/mm/yyyy hh:nn:ss";
  pure.HeaderLowercase = true;
  const std::string text = WriteDatasetText(t, pure);
  EXPECT_NE(text.find(R"({"field":"num", "type":"ftinteger", "primary":"n")"), std::string::npos) << text;
  EXPECT_NE(
      text.find(
          R"({"lines":[{"num": 3, "dia": "15/01/2024", "hora": "13:30:05", "quando": "15/01/2024 13:30:05"}]})"),
      std::string::npos)
      << text;
}

TEST(DatasetText, ReaderValueRules) {
  struct Case {
    const char* type;
    const char* element;
    bool isNull;
    const char* asString;  // the field read back as text when not null
  } cases[] = {
      {"ftString", R"("QW5h")", false, "Ana"},
      {"ftString", "null", true, ""},
      {"ftString", R"("null")", false, ""},
      {"ftString", R"("")", false, ""},
      {"ftString", R"("NULL")", true, ""},
      {"ftFixedChar", R"("Sm9zw6k=")", false, "José"},
      {"ftGuid", R"("{0A\\u0042}")", false, "{0AB}"},  // never decoded, unescaped once more
      {"ftMemo", R"("T0s=")", false, "OK"},
      {"ftInteger", R"("12")", false, "12"},
      {"ftInteger", "12", false, "12"},
      {"ftInteger", R"(" 12 ")", false, "12"},
      {"ftInteger", R"("")", true, ""},
      {"ftInteger", R"("null")", true, ""},
      {"ftInteger", R"("Null")", true, ""},
      {"ftSmallint", R"("-7")", false, "-7"},
      {"ftLargeint", R"("9007199254740993")", false, "9007199254740993"},
      {"ftAutoInc", R"("5")", false, "5"},
      {"ftBoolean", "true", false, "True"},
      {"ftBoolean", R"("1")", false, "True"},
      {"ftBoolean", R"("TRUE")", false, "True"},
      {"ftBoolean", R"("0")", false, "False"},
      {"ftBoolean", R"("no")", false, "False"},
      {"ftBoolean", R"("")", true, ""},
      {"ftFloat", R"("12D5")", false, "12,5"},
      {"ftFloat", R"("7")", false, "7"},
      {"ftCurrency", R"("-0D25")", false, "-0,25"},
      {"ftExtended", R"("1D5E20")", false, "1,5E20"},
      {"ftBCD", R"("1D23456")", false, "1,2346"},  // a decimal with 4 digits after the point
      {"ftFloat", R"("")", true, ""},
      {"ftDate", R"("3914438400")", false, "15/01/2024"},
      {"ftDateTime", R"("3914487000")", false, "15/01/2024 13:30:00"},
      {"ftTime", R"("48600")", false, "13:30:00"},
      {"ftTime", R"("0")", true, ""},
      {"ftDate", R"("-86400")", true, ""},
      {"ftDate", R"("NULL")", true, ""},
      {"ftBlob", R"("/2E=")", false,
       "\xff"
       "a"},
      {"ftBlob", R"("")", true, ""},
      {"ftBlob", R"("null")", true, ""},
      {"ftGraphic", R"("iVBORw==")", false, "\x89PNG"},
      {"ftShortint", R"("5")", true, ""},
      {"ftBytes", R"("AAA=")", true, ""},
      {"ftFixedWideChar", R"("QW5h")", true, ""},
      {"ftOraTimeStamp", R"("3914438400")", true, ""},
      {"ftNoSuchType", R"("QW5h")", false, "Ana"},  // an unknown type name reads as ftString
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.element);
    TFDMemTable dest;
    ReadAsHandler(Dataset(Column("F", c.type, 10), std::string(R"({"line0":[)") + c.element + "]}"), dest);
    ASSERT_EQ(dest.RecordCount(), 1u);
    EXPECT_EQ(dest.IsNull(0), c.isNull);
    if (!c.isNull) {
      EXPECT_EQ(dest.AsString(0), c.asString);
    }
  }
}

TEST(DatasetText, BlobBytesSurviveTheRoundTrip) {
  std::string photo;
  for (int i = 0; i < 70000; ++i) photo.push_back(static_cast<char>((i * 37) & 0xFF));
  TFDMemTable query;
  query.AddFieldDef("FOTO", ftBlob);
  query.CreateDataSet();
  query.AppendRecord({photo});
  TFDMemTable dest;
  ReadAsHandler(WriteAsHandler(query), dest);
  EXPECT_EQ(dest.AsString("FOTO"), photo);
}

TEST(DatasetText, ReaderFieldDefinitions) {
  struct Case {
    const char* type;
    const char* size;  // the "Size" member as written, or nullptr for a column without it
    TFieldType readType;
    int fieldSize, fieldPrecision;
  } cases[] = {
      {"ftString", "60", ftString, 60, 0},
      {"ftString", nullptr, ftString, 20, 0},
      {"ftFixedChar", nullptr, ftFixedChar, 20, 0},
      {"ftFixedWideChar", nullptr, ftFixedWideChar, 40, 0},
      {"ftBytes", nullptr, ftBytes, 16, 0},
      {"ftVarBytes", nullptr, ftVarBytes, 16, 0},
      {"ftInteger", nullptr, ftInteger, 0, 0},
      {"ftBCD", "15", ftFMTBcd, 15, 4},  // total digits from "Size", 4 after the point
      {"ftbcd", "9", ftFMTBcd, 9, 4},
      {"ftFMTBcd", nullptr, ftFMTBcd, 0, 4},
      {"ftFloat", "15", ftFloat, 0, 15},
      {"ftCurrency", "10", ftCurrency, 0, 10},
      {"ftSingle", "7", ftSingle, 0, 7},
      {"ftExtended", "15", ftExtended, 15, 0},
      {"FTSTRING", "5", ftString, 5, 0},
      {"", "5", ftString, 5, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + (c.size ? c.size : "(none)"));
    std::string column =
        std::string(R"({"Field":"F", "Type":")") + c.type + R"(", "Primary":"N", "Required":"N")";
    if (c.size) column += std::string(R"(, "Size":)") + c.size;
    column += "}";
    TFDMemTable dest;
    ReadAsHandler(Dataset(column, ""), dest);
    ASSERT_EQ(dest.FieldCount(), 1u);
    EXPECT_EQ(dest.FieldDef(0).DataType, c.readType);
    EXPECT_EQ(dest.FieldDef(0).Size, c.fieldSize);
    EXPECT_EQ(dest.FieldDef(0).Precision, c.fieldPrecision);
  }
}

TEST(DatasetText, KeyAndAutoIncrementMarks) {
  const std::string seven =
      R"({"Field":"C", "Type":"ftInteger", "Primary":"S", "Required":"N", "Size":0, "Precision":0, "ReadOnly":"S"})";
  TFDMemTable dest;
  ReadAsHandler(
      Dataset(Column("A", "ftInteger", 0, "S", "S") + ", " + Column("B", "ftInteger", 0, " s ", "N") + ", " +
                  seven + ", " + Column("D", "ftInteger", 0, "N", "S"),
              ""),
      dest);
  ASSERT_EQ(dest.FieldCount(), 4u);
  struct Expect {
    bool primary, autoInc;
  } expect[] = {{true, true}, {true, false}, {true, false}, {false, false}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(dest.FieldDef(i).Primary, expect[i].primary) << dest.FieldDef(i).Name;
    EXPECT_EQ(dest.FieldDef(i).AutoInc, expect[i].autoInc) << dest.FieldDef(i).Name;
  }
}

TEST(DatasetText, TheFirstColumnOfANameDefinesTheFieldAndGivesItsValue) {
  TFDMemTable dest;
  ReadAsHandler(Dataset(Column("Codigo", "ftInteger") + ", " + Column(" CODIGO ", "ftString", 9) + ", " +
                            Column(" ", "ftString") + ", " + Column("Nome", "ftString", 9),
                        R"({"line0":["7", "QW5h", "eA==", "Sm9zw6k="]})"),
                dest);
  ASSERT_EQ(dest.FieldCount(), 2u);
  EXPECT_EQ(dest.FieldDef(0).DataType, ftInteger);
  EXPECT_EQ(dest.AsInteger("codigo"), 7);
  EXPECT_EQ(dest.AsString("NOME"), "José") << "each field reads the element of its own column";
}

TEST(DatasetText, ByteOrderMarksAndLineBreaksAreIgnored) {
  std::string broken = kExample;
  for (const char* at : {R"(, "Direction")", R"(, {"lines")", R"(, "Sm9z)"})
    broken.insert(broken.find(at) + 1, "\r\n");
  broken.insert(broken.find("Sm9z") + 4, "\r\n");             // inside an encoded value
  const std::string misreadBom = "\xC3\xAF\xC2\xBB\xC2\xBF";  // U+00EF U+00BB U+00BF
  for (const std::string& text :
       {misreadBom + kExample, std::string("\xEF\xBB\xBF") + kExample, broken, misreadBom + broken}) {
    TFDMemTable dest;
    ReadAsHandler(text, dest);
    ASSERT_EQ(dest.RecordCount(), 2u);
    dest.Last();
    EXPECT_EQ(dest.AsString("NOME"), "José");
  }
}

TEST(DatasetText, TextsThatChangeNothing) {
  for (const char* text : {"", "{}", "nada", "\xC3\xAF\xC2\xBB\xC2\xBF"}) {
    TFDMemTable dest = ExampleQuery();
    ReadAsHandler(text, dest);
    EXPECT_TRUE(dest.Active()) << text;
    EXPECT_EQ(dest.RecordCount(), 2u) << text;
  }
}

TEST(DatasetText, ReaderFailures) {
  const std::string noFields = Dataset("", "");
  const std::string oneInt = Column("N", "ftInteger");
  struct Case {
    std::string text;
    std::string message;
    bool closed;      // the destination is closed afterwards
    size_t rowsKept;  // rows left in an open destination
  } cases[] = {
      {"[1, 2]", "Invalid JSON Data...", true, 0},
      {"x[", "Invalid JSON Data...", true, 0},
      {R"({"ObjectType":"toDataset", "temp":[]})", "Invalid JSON Data...", true, 0},
      {R"({"a":1, "b":2, "c":3, "d":4, "temp":[{"fields":[]}]})", "Invalid JSON Data...", true, 0},
      {R"({"a":1, "b":2, "c":3, "d":4, "temp":[{"fields":{}}, {"lines":[]}]})", "Invalid JSON Data...", true,
       0},
      {noFields, "Error on Parse JSON Data...", true, 0},
      {Dataset(Column(" ", "ftString"), ""), "Error on Parse JSON Data...", true, 0},
      {Dataset(oneInt, R"({"line0":["1"]}, {"line1":["1a"]}, {"line2":["3"]})"),
       "'1a' is not a valid integer value", false, 1},
      {Dataset(oneInt, R"({"line0":["99999999999"]})"), "'99999999999' is not a valid integer value", false,
       0},
      {Dataset(Column("N", "ftSmallint"), R"({"line0":["40000"]})"),
       "40000 is not a valid value for field 'N'. The allowed range is -32768 to 32767", false, 0},
      {Dataset(Column("D", "ftDate"), R"({"line0":["15/01/2024"]})"),
       "'15/01/2024' is not a valid integer value", false, 0},
      {Dataset(Column("D", "ftDate"), R"({"line0":[""]})"), "'' is not a valid integer value", false, 0},
      {Dataset(Column("V", "ftFloat"), R"({"line0":["12.5"]})"), "'12.5' is not a valid floating point value",
       false, 0},
      {Dataset(Column("V", "ftFloat"), R"({"line0":["1D2D3"]})"),
       "'1,2,3' is not a valid floating point value", false, 0},
      {Dataset(Column("S", "ftString"), R"({"line0":["a\\u00G1"]})", "false"), "Invalid unicode \\u00G1",
       false, 0},
      {Dataset(Column("S", "ftString"), R"({"line0":["ab\\u12"]})", "false"), "Invalid unicode \\u12", false,
       0},
      {Dataset(oneInt + ", " + Column("M", "ftString"), R"({"line0":["1", "eA=="]}, {"line1":["2"]})"),
       "Invalid JSON Data...", false, 1},
      {Dataset(oneInt, R"({"line0":["1"]}, ["2"])"), "Invalid JSON Data...", false, 1},
      {Dataset(R"({"Field":"N", "Type":"ftString", "Primary":"N", "Required":"N", "Size":"6O"})", ""),
       "'6O' is not a valid integer value", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TFDMemTable dest = ExampleQuery();
    EXPECT_EQ(FailureOf([&] { ReadAsHandler(c.text, dest); }), c.message);
    EXPECT_EQ(dest.Active(), !c.closed);
    if (!c.closed) {
      EXPECT_EQ(dest.RecordCount(), c.rowsKept);
      EXPECT_EQ(dest.State(), TDataSetState::dsBrowse) << "a refused row is not left half-appended";
    }
  }
}

TEST(DatasetText, SyntaxErrorsNameTheByteOffset) {
  TFDMemTable dest;
  const std::string message = FailureOf([&] { ReadAsHandler(R"({"a":[1,})", dest); });
  EXPECT_EQ(message.rfind("Invalid JSON text at byte offset 8", 0), 0u) << message;
  EXPECT_EQ(FailureOf([&] {
              ReadAsHandler(kExample + "]", dest);
            }).rfind("Invalid JSON text at byte offset 459", 0),
            0u);
}

TEST(DatasetText, SecondUnescaping) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"plain", "plain"},
      {R"(a\tb\nc\rd\be\ff)", "a\tb\nc\rd\be\ff"},
      {R"(\u00e9\u00C9)", "éÉ"},
      {R"(\uD83D\uDE00)", "😀"},
      {R"(\uDE00)", "\xEF\xBF\xBD"},
      {R"(\q\\\/\")", "q\\/\""},
      {R"(\é)", "é"},
      {R"(end\)", "end\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(UnescapeJSONText(c.in), c.out) << c.in;
  EXPECT_EQ(FailureOf([] { UnescapeJSONText(R"(\u12)"); }), "Invalid unicode \\u12");
  EXPECT_EQ(FailureOf([] { UnescapeJSONText(R"(\uZZZZ!)"); }), "Invalid unicode \\uZZZZ");
}

TEST(DatasetText, ProgressCallbackSeesEveryRowAndCanStopTheReading) {
  std::string lines;
  for (int i = 0; i < 5; ++i) {
    if (i) lines += ", ";
    lines += "{\"line" + std::to_string(i) + "\":[\"" + std::to_string(i * 10) + "\"]}";
  }
  const std::string text = Dataset(Column("N", "ftInteger"), lines);

  std::vector<std::pair<int, int>> calls;
  TJSONValue v;
  v.SetOnWriterProcess([&](TFDMemTable& table, int recNo, int recordCount, bool& abort) {
    calls.emplace_back(recNo, recordCount);
    EXPECT_EQ(table.RecordCount(), static_cast<size_t>(recNo)) << "called after the row is posted";
    abort = recNo == 3;
  });
  TFDMemTable dest;
  v.WriteToDataset(TDatasetType::dtFull, text, dest);
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}}));
  EXPECT_EQ(dest.RecordCount(), 3u);
  EXPECT_EQ(dest.RecNo(), 1u);
}

TEST(DatasetText, ReadingReplacesEarlierDefinitionsAndRows) {
  TFDMemTable dest = ExampleQuery();
  ReadAsHandler(Dataset(Column("OUTRO", "ftBoolean"), R"({"line0":[true]})"), dest);
  ASSERT_EQ(dest.FieldCount(), 1u);
  EXPECT_EQ(dest.FieldDef(0).Name, "OUTRO");
  EXPECT_EQ(dest.RecordCount(), 1u);
  EXPECT_TRUE(dest.AsBoolean(0));
}

TEST(DatasetText, ManyMixedRowsRoundTrip) {
  TFDMemTable query;
  query.AddFieldDef("ID", ftInteger);
  query.AddFieldDef("NOME", ftString, 60);
  query.AddFieldDef("VALOR", ftFMTBcd, 15, 2);
  query.AddFieldDef("DIA", ftDate);
  query.AddFieldDef("ATIVO", ftBoolean);
  query.CreateDataSet();
  for (int64_t i = 0; i < 2000; ++i) {
    query.AppendRecord({i, "Leitor " + std::to_string(i) + " ção", static_cast<double>(i) / 4,
                        i % 7 ? TFieldValue{EncodeDate(2024, 1, 1) + static_cast<double>(i)} : TFieldValue{},
                        i % 2 == 0});
  }
  TFDMemTable dest;
  ReadAsHandler(WriteAsHandler(query), dest);
  ASSERT_EQ(dest.RecordCount(), 2000u);
  query.First();
  for (dest.First(); !dest.Eof(); dest.Next(), query.Next()) {
    for (size_t f = 0; f < 5; ++f) {
      ASSERT_EQ(dest.IsNull(f), query.IsNull(f)) << dest.RecNo() << " " << f;
      ASSERT_EQ(dest.AsString(f), query.AsString(f)) << dest.RecNo() << " " << f;
    }
  }
}

TEST(DatasetText, OnlyTheFullModeIsRead) {
  TFDMemTable dest;
  TJSONValue v;
  EXPECT_EQ(FailureOf([&] { v.WriteToDataset(TDatasetType::dtDiff, kExample, dest); }),
            "Unsupported dataset type");
  EXPECT_FALSE(dest.Active());
}

}  // namespace
}  // namespace livrexa

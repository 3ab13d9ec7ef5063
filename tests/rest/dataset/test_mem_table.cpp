#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "rest/dataset/mem_table.h"
#include "rest/wire/errors.h"

namespace livrexa {
namespace {

using enum TFieldType;

// A one-field table, open, with a row being appended.
struct OneField {
  explicit OneField(TFieldType type, int size = 0, int precision = 0) {
    table.AddFieldDef("F", type, size, precision);
    table.CreateDataSet();
    table.Append();
  }
  TFDMemTable table;
};

template <typename F>
std::string FailureOf(F&& f) {
  try {
    f();
  } catch (const LivrexaError& e) {
    return e.what();
  }
  return "(no failure)";
}

TEST(MemTable, IntegerFieldsHoldExactlyTheRangeOfTheirType) {
  struct Case {
    TFieldType type;
    int64_t lowest, highest;
  } cases[] = {
      {ftSmallint, -32768, 32767},
      {ftShortint, -128, 127},
      {ftByte, 0, 255},
      {ftWord, 0, 65535},
      {ftLongWord, 0, 4294967295LL},
      {ftInteger, -2147483648LL, 2147483647},
      {ftAutoInc, -2147483648LL, 2147483647},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(FieldTypeName(c.type)));
    OneField f(c.type);
    f.table.SetInteger(0, c.lowest);
    EXPECT_EQ(f.table.AsLargeInt(0), c.lowest);
    f.table.SetInteger(0, c.highest);
    EXPECT_EQ(f.table.AsLargeInt(0), c.highest);
    const std::string range =
        ". The allowed range is " + std::to_string(c.lowest) + " to " + std::to_string(c.highest);
    EXPECT_EQ(FailureOf([&] { f.table.SetInteger(0, c.highest + 1); }),
              std::to_string(c.highest + 1) + " is not a valid value for field 'F'" + range);
    EXPECT_EQ(FailureOf([&] { f.table.SetInteger(0, c.lowest - 1); }),
              std::to_string(c.lowest - 1) + " is not a valid value for field 'F'" + range);
    EXPECT_EQ(f.table.AsLargeInt(0), c.highest) << "a refused value must not be stored";
  }
  OneField big(ftLargeint);
  big.table.SetInteger(0, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(big.table.AsLargeInt(0), std::numeric_limits<int64_t>::min());
}

TEST(MemTable, DecimalsAreRoundedHalfAwayFromZeroAtTheirScaleAsWritten) {
  struct Case {
    int scale;
    double in, out;
  } cases[] = {
      {2, 1.005, 1.01},  // 1.005 is 1.00499999... in binary: rounding must follow the written digits
      {2, 2.675, 2.68},       {2, -2.675, -2.68}, {0, 0.5, 1},          {0, -9.5, -10},     {1, 9.96, 10.0},
      {4, 12.34567, 12.3457}, {2, 1.2, 1.2},      {4, 0.00005, 0.0001}, {2, 999.995, 1000}, {2, 0.004, 0},
  };
  for (const auto& c : cases) {
    OneField f(ftFMTBcd, 18, c.scale);
    f.table.SetFloat(0, c.in);
    EXPECT_EQ(f.table.AsFloat(0), c.out) << c.in << " at scale " << c.scale;
  }
  OneField fl(ftFloat);
  fl.table.SetFloat(0, 1.005);
  EXPECT_EQ(fl.table.AsFloat(0), 1.005) << "floats are not rounded";
}

TEST(MemTable, DateFieldsKeepTheDateAndTimeFieldsTheTimeOfDay) {
  const TDateTime moment = EncodeDateTime(2024, 1, 15, 13, 30, 0);
  struct Case {
    TFieldType type;
    TDateTime stored;
  } cases[] = {
      {ftDate, EncodeDate(2024, 1, 15)},
      {ftTime, EncodeTime(13, 30, 0)},
      {ftDateTime, moment},
      {ftTimeStamp, moment},
  };
  for (const auto& c : cases) {
    OneField f(c.type);
    f.table.SetDateTime(0, moment);
    EXPECT_DOUBLE_EQ(f.table.AsDateTime(0), c.stored) << FieldTypeName(c.type);
  }
}

TEST(MemTable, TextSettersConvertToTheFieldTypeAndTypedReadsGiveItBack) {
  struct Case {
    TFieldType type;
    const char* in;
    const char* asString;
  } cases[] = {
      {ftString, "Ana", "Ana"},
      {ftInteger, " 42", "42"},
      {ftSmallint, "-7", "-7"},
      {ftLargeint, "9007199254740993", "9007199254740993"},
      {ftFloat, "12,5", "12,5"},
      {ftFMTBcd, "3,14159", "3,1416"},
      {ftBoolean, "TRUE", "True"},
      {ftBoolean, "0", "False"},
      {ftDate, "15/01/2024", "15/01/2024"},
      {ftDateTime, "15/01/2024 13:30:05", "15/01/2024 13:30:05"},
      {ftTime, "13:30", "13:30:00"},
      {ftGuid, "{0A}", "{0A}"},
      {ftMemo, "linha\r\noutra", "linha\r\noutra"},
  };
  for (const auto& c : cases) {
    OneField f(c.type, 0, 4);
    f.table.SetText(0, c.in);
    EXPECT_EQ(f.table.AsString(0), c.asString) << FieldTypeName(c.type) << " " << c.in;
  }
  OneField i(ftInteger);
  i.table.SetText(0, "42");
  EXPECT_EQ(i.table.AsInteger("f"), 42);
  EXPECT_DOUBLE_EQ(i.table.AsFloat("F"), 42.0);
  EXPECT_TRUE(i.table.AsBoolean(0));
  i.table.SetText(0, "");
  EXPECT_TRUE(i.table.IsNull(0)) << "an empty text makes a number field null";

  OneField d(ftDateTime);
  d.table.SetText(0, "29/02/2024 08:05:00");
  EXPECT_DOUBLE_EQ(d.table.AsDateTime(0), EncodeDateTime(2024, 2, 29, 8, 5, 0));

  OneField b(ftBlob);
  const std::string bytes("\x00\xff\x7f", 3);
  b.table.SetBytes(0, bytes);
  EXPECT_EQ(b.table.AsString(0), bytes);
}

TEST(MemTable, ConversionFailuresCarryTheRuntimeMessages) {
  struct Case {
    TFieldType type;
    const char* text;
    const char* message;
  } cases[] = {
      {ftInteger, "1a", "'1a' is not a valid integer value"},
      {ftFloat, "12.5", "'12.5' is not a valid floating point value"},
      {ftBoolean, "sim", "'sim' is not a valid boolean value"},
      {ftDate, "31/02/2024", "'31/02/2024' is not a valid date and time"},
      {ftDate, "3914438400", "'3914438400' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    OneField f(c.type);
    EXPECT_EQ(FailureOf([&] { f.table.SetText(0, c.text); }), c.message);
    EXPECT_TRUE(f.table.IsNull(0));
  }
  OneField d(ftDate);
  EXPECT_EQ(FailureOf([&] { d.table.SetBoolean(0, true); }), "Cannot access field 'F' as type Boolean");
  EXPECT_EQ(FailureOf([&] { d.table.SetInteger(0, 3); }), "Cannot access field 'F' as type Integer");
}

TEST(MemTable, StatesGuardEveryChange) {
  TFDMemTable t;
  EXPECT_EQ(FailureOf([&] { t.Open(); }), "Cannot open a table without fields");
  t.CreateDataSet();
  EXPECT_FALSE(t.Active()) << "a table without definitions stays closed";

  t.AddFieldDef("NUMERO", ftInteger);
  t.AddFieldDef("NOME", ftString, 60);
  EXPECT_EQ(FailureOf([&] { t.Append(); }), "Cannot perform this operation on a closed dataset");
  t.SetRequired(0, true);
  t.SetReadOnly(1, true);
  t.CreateDataSet();
  ASSERT_TRUE(t.Active());
  EXPECT_EQ(FailureOf([&] { t.AddFieldDef("X", ftString); }),
            "Cannot perform this operation on an open dataset");
  EXPECT_EQ(FailureOf([&] { t.SetInteger(0, 1); }), "Dataset not in edit or insert mode");

  t.Append();
  EXPECT_EQ(FailureOf([&] { t.SetText(1, "x"); }), "Field 'NOME' cannot be modified");
  EXPECT_EQ(FailureOf([&] { t.Post(); }), "Field 'NUMERO' must have a value");
  t.SetInteger("numero", 1);
  t.Post();
  EXPECT_EQ(t.RecordCount(), 1u);

  t.SetAutoInc(0, true);
  t.Append();
  t.Post();  // a generated field needs no value
  EXPECT_EQ(t.RecordCount(), 2u);
}

TEST(MemTable, CursorWalksTheRowsAndEditsChangeOnlyTheCurrentOne) {
  TFDMemTable t;
  t.AddFieldDef("N", ftInteger);
  t.CreateDataSet();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.RecNo(), 0u);
  for (int64_t n : {10, 20, 30}) t.AppendRecord({TFieldValue{n}});

  std::vector<int> seen;
  for (t.First(); !t.Eof(); t.Next()) seen.push_back(t.AsInteger(0));
  EXPECT_EQ(seen, (std::vector<int>{10, 20, 30}));

  t.First();
  t.Next();
  EXPECT_EQ(t.RecNo(), 2u);
  t.Edit();
  t.SetInteger(0, 21);
  t.Post();
  t.Append();
  t.SetInteger(0, 99);
  t.Cancel();
  EXPECT_EQ(t.RecordCount(), 3u) << "a cancelled append leaves no row";
  t.Last();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.AsInteger(0), 30);
  t.Prior();
  EXPECT_EQ(t.AsInteger(0), 21);
  t.Delete();
  seen.clear();
  for (t.First(); !t.Eof(); t.Next()) seen.push_back(t.AsInteger(0));
  EXPECT_EQ(seen, (std::vector<int>{10, 30}));

  t.Close();
  EXPECT_TRUE(t.IsNull(0)) << "a closed table has no current row";
  t.Open();
  EXPECT_EQ(t.RecordCount(), 0u) << "closing discards the rows";
  EXPECT_EQ(t.FieldCount(), 1u) << "and keeps the definitions";
}

TEST(MemTable, AppendRecordDropsTheRowWhenAValueIsRefused) {
  TFDMemTable t;
  t.AddFieldDef("N", ftSmallint);
  t.AddFieldDef("S", ftString, 10);
  t.CreateDataSet();
  t.AppendRecord({int64_t{1}, std::string("um")});
  EXPECT_EQ(FailureOf([&] {
              t.AppendRecord({int64_t{40000}, std::string("dois")});
            }),
            "40000 is not a valid value for field 'N'. The allowed range is -32768 to 32767");
  EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
  ASSERT_EQ(t.RecordCount(), 1u);
  t.First();
  EXPECT_EQ(t.AsString("S"), "um");
}

TEST(MemTable, KeyMarksSetUpdateAndSearchFlags) {
  TFDMemTable t;
  t.AddFieldDef("ID", ftInteger);
  t.AddFieldDef("NOME", ftString, 20);
  t.SetKeyField(0);
  EXPECT_TRUE(t.FieldDef(0).Primary);
  EXPECT_TRUE(t.InUpdate(0));
  EXPECT_TRUE(t.InWhere(0));
  EXPECT_FALSE(t.FieldDef(1).Primary);
  EXPECT_EQ(FailureOf([&] { t.FieldIndex("NADA"); }), "Field 'NADA' not found");
}

}  // namespace
}  // namespace livrexa

#include <gtest/gtest.h>

#include "rest/params/detail/binary_stream.h"
#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

using enum TObjectValue;
using enum TObjectDirection;

// Bytes from a text of hexadecimal pairs separated by blanks.
std::string Hex(std::string_view text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 3)
    out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
  return out;
}

TJSONParam& AddParam(TDWParams& list, const std::string& name, TObjectDirection dir, TObjectValue kind) {
  TJSONParam& p = list.AddNew(name, dir);
  p.SetObjectValue(kind);
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

TEST(BinaryStream, ReplyWithoutOutputIsTheBareHeader) {
  TDWParams list;
  AddParam(list, "Filtro", odIN, ovString).SetAsString("Ana");
  const TMemoryStream s = list.SaveToStream(TDWParamExpType::tdwpxt_OUT);
  EXPECT_EQ(s.Bytes(), Hex("06 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
  EXPECT_EQ(s.Position(), 0u);
}

TEST(BinaryStream, TextIsWrittenInTheWesternCodePage) {
  TDWParams list;
  list.SetEncoding(TEncodeSelect::esASCII);
  AddParam(list, "Resposta", odOUT, ovString).SetAsString("Ação");
  const TMemoryStream s = list.SaveToStream(TDWParamExpType::tdwpxt_OUT);
  EXPECT_EQ(s.Bytes(), Hex("06 00 00 00 01 00 00 00 2e 00 00 00 00 00 00 00 08 00 00 00 00 00 00 00 "
                           "52 45 53 50 4f 53 54 41 01 00 00 00 01 00 00 00 00 00 01 00 00 00 01 00 "
                           "00 00 04 00 00 00 00 00 00 00 41 e7 e3 6f"));

  TDWParams back;
  TMemoryStream in(s.Bytes());
  back.LoadFromStream(in);
  ASSERT_EQ(back.Count(), 1u);
  EXPECT_EQ(back.ParamByName("resposta").AsString(), "Ação");
  EXPECT_EQ(back.ParamByName("resposta").ObjectDirection(), odOUT);
}

TEST(BinaryStream, IntegerBooleanAndDateLayouts) {
  TDWParams list;
  AddParam(list, "Flag", odIN, ovInteger).SetAsInteger(130);
  AddParam(list, "Desativados", odIN, ovBoolean).SetAsBoolean(true);
  AddParam(list, "Data", odIN, ovDateTime).SetAsDate(EncodeDate(2024, 1, 15));
  const TMemoryStream s = list.SaveToStream();
  EXPECT_EQ(
      s.Bytes(),
      Hex("06 00 00 00 03 00 00 00 6f 00 00 00 00 00 00 00 04 00 00 00 00 00 00 00 46 4c 41 47 00 00 00 00 "
          "00 00 00 00 00 00 01 00 00 00 03 00 00 00 82 00 00 00 0b 00 00 00 00 00 00 00 44 45 53 41 54 49 "
          "56 41 44 4f 53 00 00 00 00 00 00 00 00 00 00 01 00 00 00 05 00 00 00 01 00 04 00 00 00 00 00 00 "
          "00 44 41 54 41 00 00 00 00 00 00 00 00 00 00 01 00 00 00 0b 00 00 00 00 97 51 e9 00 00 00 00"));
}

TEST(BinaryStream, RoundTripOfEveryLayout) {
  const std::string photo("\x00\xff\x10\x80", 4);
  TDWParams list;
  list.SetEncoding(TEncodeSelect::esASCII);
  AddParam(list, "Texto", odIN, ovString).SetAsString("José");
  AddParam(list, "Inteiro", odINOUT, ovInteger).SetAsInteger(-2147483647 - 1);
  AddParam(list, "Grande", odIN, ovLargeint).SetAsLargeInt(1099511627777);
  AddParam(list, "Palavra", odIN, ovWord).SetAsWord(65535);
  AddParam(list, "Logico", odIN, ovBoolean).SetAsBoolean(false);
  AddParam(list, "Quando", odIN, ovDateTime).SetAsDateTime(EncodeDateTime(2024, 1, 15, 13, 30, 0));
  TJSONParam& money = AddParam(list, "Valor", odIN, ovCurrency);
  money.SetValue("-1234D5", false);
  TJSONParam& single = AddParam(list, "Simples", odIN, ovSingle);
  single.SetValue("2D5", false);
  TJSONParam& blob = AddParam(list, "Foto", odIN, ovBlob);
  blob.SetValue(EncodeBinary(photo), true);
  AddParam(list, "Cursor", odIN, ovCursor);

  TMemoryStream s = list.SaveToStream();
  TDWParams back;
  back.LoadFromStream(s);
  ASSERT_EQ(back.Count(), list.Count());
  EXPECT_EQ(back.ParamByName("texto").AsString(), "José");
  EXPECT_EQ(back.ParamByName("inteiro").AsInteger(), -2147483647 - 1);
  EXPECT_EQ(back.ParamByName("inteiro").ObjectDirection(), odINOUT);
  EXPECT_EQ(back.ParamByName("grande").AsLargeInt(), 1099511627777);
  EXPECT_EQ(back.ParamByName("palavra").AsWord(), 65535);
  EXPECT_EQ(back.ParamByName("palavra").ObjectValue(), ovWord);
  EXPECT_FALSE(back.ParamByName("logico").AsBoolean());
  EXPECT_FALSE(back.ParamByName("logico").IsNull());
  EXPECT_EQ(DateTimeToWire(back.ParamByName("quando").AsDateTime()), 3914487000);
  EXPECT_DOUBLE_EQ(back.ParamByName("valor").AsCurrency(), -1234.5);
  EXPECT_EQ(back.ParamByName("valor").ObjectValue(), ovCurrency);
  EXPECT_EQ(back.ParamByName("simples").JSONValue().Value(), "2D5");
  EXPECT_EQ(back.ParamByName("simples").ObjectValue(), ovSingle);
  EXPECT_EQ(std::get<TVarBytes>(back.ParamByName("foto").GetValue(ovBlob)).Bytes, photo);
  EXPECT_TRUE(back.ParamByName("foto").Binary());
  EXPECT_TRUE(back.ParamByName("cursor").IsNull());

  // Written again, the list gives the same bytes.
  EXPECT_EQ(back.SaveToStream().Bytes(), s.Bytes());
}

TEST(BinaryStream, KindsThatTheAccessorsChangeOnReading) {
  TDWParams list;
  AddParam(list, "Fixo", odOUT, ovFixedChar).SetValue("abc", true);
  AddParam(list, "Byte", odIN, ovByte).SetValue("1", false);
  AddParam(list, "Curto", odIN, ovSmallint).SetAsSmallInt(-5);
  const std::string bytes = list.SaveToStream().Bytes();
  EXPECT_EQ(bytes.size(), 16u + (8 + 4 + 18 + 8 + 3) + (8 + 4 + 18 + 1) + (8 + 5 + 18 + 4));
  TMemoryStream s(bytes);
  TDWParams back;
  back.LoadFromStream(s);
  EXPECT_EQ(back.ParamByName("fixo").AsString(), "abc");
  EXPECT_EQ(back.ParamByName("fixo").ObjectValue(), ovString);  // stored through AsString
  EXPECT_EQ(back.ParamByName("fixo").ObjectDirection(), odOUT);
  EXPECT_TRUE(back.ParamByName("byte").AsBoolean());
  EXPECT_EQ(back.ParamByName("byte").ObjectValue(), ovBoolean);  // stored through AsBoolean
  EXPECT_EQ(back.ParamByName("curto").AsInteger(), -5);
  EXPECT_EQ(back.ParamByName("curto").ObjectValue(), ovInteger);  // stored through AsInteger
}

TEST(BinaryStream, FloatTextLayout) {
  TDWParams list;
  AddParam(list, "V", odIN, ovFloat).SetAsFloat(12.5);
  AddParam(list, "N", odIN, ovExtended);  // null: length 0
  const std::string bytes = list.SaveToStream().Bytes();
  // name length, name, direction, encoded flag, JSON mode, type object, kind, then the value
  const std::string v =
      Hex("01 00 00 00 00 00 00 00 56 00 00 00 00 00 00 00 00 00 00 01 00 00 00 06 00 00 00 "
          "04 00 00 00 00 00 00 00") +
      "12D5";
  const std::string n =
      Hex("01 00 00 00 00 00 00 00 4e 00 00 00 00 01 00 00 00 00 00 01 00 00 00 2d 00 00 00 "
          "00 00 00 00 00 00 00 00");
  EXPECT_EQ(bytes.substr(16), v + n);
}

TEST(BinaryStream, EmptyTextKeepsTheValueAndSkipsTheSelection) {
  TDWParams sent;
  AddParam(sent, "Filtro", odIN, ovString);  // never set: written with length 0
  TMemoryStream s = sent.SaveToStream();
  EXPECT_EQ(s.Size(), 16u + 8 + 6 + 4 + 2 + 12 + 8);

  TDWParams existing;
  AddParam(existing, "filtro", odOUT, ovString).SetAsString("antes");
  existing.LoadFromStream(s, TDWParamExpType::tdwpxt_OUT);
  ASSERT_EQ(existing.Count(), 1u);  // odIN now, but the selection was skipped
  EXPECT_EQ(existing.ParamByName("Filtro").AsString(), "antes");
  EXPECT_EQ(existing.ParamByName("Filtro").ObjectDirection(), odIN);

  TDWParams fresh;
  fresh.LoadFromStream(s);
  EXPECT_TRUE(fresh.ParamByName("Filtro").IsNull());
}

TEST(BinaryStream, SelectionOnWriting) {
  struct Case {
    TDWParamExpType selection;
    int32_t count;
  } cases[] = {{TDWParamExpType::tdwpxt_All, 3},
               {TDWParamExpType::tdwpxt_OUT, 2},
               {TDWParamExpType::tdwpxt_IN, 2},
               {TDWParamExpType::tdwpxt_INOUT, 1}};
  TDWParams list;
  AddParam(list, "A", odIN, ovInteger).SetAsInteger(1);
  AddParam(list, "B", odOUT, ovInteger).SetAsInteger(2);
  AddParam(list, "C", odINOUT, ovInteger).SetAsInteger(3);
  for (const auto& c : cases) {
    TMemoryStream s = list.SaveToStream(c.selection);
    EXPECT_EQ(static_cast<uint8_t>(s.Bytes()[4]), c.count) << static_cast<int>(c.selection);
    EXPECT_EQ(s.Size(), 16u + static_cast<size_t>(c.count) * 31) << static_cast<int>(c.selection);
  }
}

TEST(BinaryStream, SelectionOnReading) {
  TDWParams list;
  AddParam(list, "A", odIN, ovInteger).SetAsInteger(1);
  AddParam(list, "B", odOUT, ovInteger).SetAsInteger(2);
  AddParam(list, "C", odINOUT, ovInteger).SetAsInteger(3);
  const std::string bytes = list.SaveToStream().Bytes();
  struct Case {
    TDWParamExpType selection;
    const char* kept;
  } cases[] = {{TDWParamExpType::tdwpxt_All, "ABC"},
               {TDWParamExpType::tdwpxt_OUT, "BC"},
               {TDWParamExpType::tdwpxt_IN, "AC"}};
  for (const auto& c : cases) {
    TDWParams back;
    TMemoryStream s(bytes);
    back.LoadFromStream(s, c.selection);
    std::string kept;
    for (size_t i = 0; i < back.Count(); ++i) kept += back.GetRec(static_cast<int>(i))->ParamName();
    EXPECT_EQ(kept, c.kept);
  }
}

TEST(BinaryStream, ReadingFindsExistingParametersByName) {
  TDWParams list;
  AddParam(list, "Flag", odIN, ovInteger).SetAsInteger(7);
  TMemoryStream s = list.SaveToStream();
  TDWParams target;
  TJSONParam& old = AddParam(target, "flag", odOUT, ovString);
  target.LoadFromStream(s);
  ASSERT_EQ(target.Count(), 1u);
  EXPECT_EQ(&target.ParamByName("FLAG"), &old);
  EXPECT_EQ(old.ParamName(), "FLAG");
  EXPECT_EQ(old.AsInteger(), 7);
  EXPECT_EQ(old.ObjectDirection(), odIN);
}

TEST(BinaryStream, HeaderMarkIsNotChecked) {
  TDWParams list;
  AddParam(list, "Flag", odIN, ovInteger).SetAsInteger(7);
  std::string bytes = list.SaveToStream().Bytes();
  bytes[0] = 9;
  TMemoryStream s(bytes);
  TDWParams back;
  back.LoadFromStream(s);
  EXPECT_EQ(back.ParamByName("flag").AsInteger(), 7);
}

TEST(BinaryStream, DeclaredLengthMustMatch) {
  TDWParams list;
  AddParam(list, "Flag", odIN, ovInteger).SetAsInteger(7);
  const std::string good = list.SaveToStream().Bytes();
  for (const std::string& bad : {good + "x", good.substr(0, good.size() - 1), good.substr(0, 16)}) {
    TMemoryStream s(bad);
    TDWParams back;
    EXPECT_EQ(ErrorOf([&] { back.LoadFromStream(s); }), "Invalid Stream...") << bad.size();
    EXPECT_EQ(back.Count(), 0u);
  }
}

TEST(BinaryStream, StreamEndingInsideARecordFailsAndKeepsWhatWasRead) {
  TDWParams list;
  AddParam(list, "A", odIN, ovInteger).SetAsInteger(1);
  AddParam(list, "B", odIN, ovLargeint).SetAsLargeInt(2);
  std::string bytes = list.SaveToStream().Bytes();
  // Cut the last value short and make the header agree, so only the record reading fails.
  bytes.resize(bytes.size() - 3);
  bytes[8] = static_cast<char>(bytes.size() - 16);
  TMemoryStream s(bytes);
  TDWParams back;
  EXPECT_EQ(ErrorOf([&] { back.LoadFromStream(s); }), "Stream read error");
  EXPECT_EQ(back.ParamByName("a").AsInteger(), 1);
}

TEST(BinaryStream, HostileLengthsAndCountsFailWithoutReadingOutOfBounds) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"short header", Hex("06 00 00 00 01 00")},
      {"name longer than the stream",
       Hex("06 00 00 00 01 00 00 00 08 00 00 00 00 00 00 00 ff ff ff ff ff ff ff 7f")},
      {"negative name length",
       Hex("06 00 00 00 01 00 00 00 08 00 00 00 00 00 00 00 00 00 00 00 00 00 00 80")},
      {"count beyond the records", Hex("06 00 00 00 ff ff ff 7f 00 00 00 00 00 00 00 00")},
  };
  for (const auto& c : cases) {
    TMemoryStream s(c.bytes);
    TDWParams back;
    EXPECT_EQ(ErrorOf([&] { back.LoadFromStream(s); }), "Stream read error") << c.name;
  }
}

TEST(BinaryStream, SavingAfterExistingContent) {
  TDWParams list;
  AddParam(list, "Flag", odOUT, ovInteger).SetAsInteger(1);
  TMemoryStream s(std::string("abc"));
  s.SetPosition(3);
  list.SaveToStream(s);
  EXPECT_EQ(s.Bytes().substr(0, 3), "abc");
  EXPECT_EQ(s.Position(), 0u);
  EXPECT_EQ(static_cast<uint8_t>(s.Bytes()[3 + 4]), 1);
  EXPECT_EQ(static_cast<size_t>(static_cast<uint8_t>(s.Bytes()[3 + 8])), s.Size() - 3 - 16);
}

TEST(MemoryStream, LittleEndianIntegersAndReadErrors) {
  TMemoryStream s;
  s.WriteInt16(-2);
  s.WriteInt32(-3);
  s.WriteInt64(0x0102030405060708);
  EXPECT_EQ(s.Bytes(), Hex("fe ff fd ff ff ff 08 07 06 05 04 03 02 01"));
  s.SetPosition(0);
  EXPECT_EQ(s.ReadInt16(), -2);
  EXPECT_EQ(s.ReadInt32(), -3);
  EXPECT_EQ(s.ReadInt64(), 0x0102030405060708);
  EXPECT_EQ(ErrorOf([&] { s.ReadByte(); }), "Stream read error");
  s.SetPosition(100);  // beyond the end
  EXPECT_EQ(ErrorOf([&] { s.ReadInt32(); }), "Stream read error");
}

}  // namespace
}  // namespace livrexa

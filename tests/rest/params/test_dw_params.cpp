#include <gtest/gtest.h>

#include "rest/params/dw_params.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

using enum TObjectValue;

std::unique_ptr<TJSONParam> Param(const std::string& name, TObjectDirection dir = TObjectDirection::odIN) {
  auto p = std::make_unique<TJSONParam>(TEncodeSelect::esUtf8);
  p->SetParamName(name);
  p->SetObjectDirection(dir);
  return p;
}

// A reply list of the "Consulta" event: an input flag, then the two outputs.
class ConsultaList : public ::testing::Test {
 protected:
  void SetUp() override {
    list.SetEncoding(TEncodeSelect::esASCII);
    TJSONParam& flag = *list.Add(Param("Flag"));
    flag.SetObjectValue(ovInteger);
    flag.SetAsInteger(180);
    list.Add(Param("Tabela", TObjectDirection::odOUT))->SetAsString("{\"lines\":[]}");
    list.Add(Param("Resposta", TObjectDirection::odOUT));
  }
  TDWParams list;
};

TEST_F(ConsultaList, OutputParameterListText) {
  EXPECT_EQ(list.CountOutParams(), 2);
  EXPECT_EQ(list.ToJSON(),
            R"({"ObjectType":"toParam", "Direction":"odOUT", "Encoded":"true", "ValueType":"ovString", )"
            R"("TABELA":")" +
                EncodeText("{\"lines\":[]}") +
                R"("}, )"
                R"({"ObjectType":"toParam", "Direction":"odOUT", "Encoded":"true", "ValueType":"ovString", )"
                R"("RESPOSTA":null})");
}

TEST_F(ConsultaList, InOutCountsAsOutput) {
  list.ParamByName("flag").SetObjectDirection(TObjectDirection::odINOUT);
  EXPECT_EQ(list.CountOutParams(), 3);
  EXPECT_EQ(list.ToJSON().rfind(R"({"ObjectType":"toParam", "Direction":"odINOUT", "Encoded":"false", )"
                                R"("ValueType":"ovInteger", "FLAG":180}, )",
                                0),
            0u);
}

TEST_F(ConsultaList, LookupsIgnoreCaseAndFailCleanly) {
  EXPECT_EQ(list.GetRecName("resposta"), list.GetRec(2));
  EXPECT_EQ(list.ItemsString("TaBeLa"), list.Items(1));
  EXPECT_EQ(list.GetRecName("Tabela2"), nullptr);
  EXPECT_EQ(list.GetRec(3), nullptr);
  EXPECT_EQ(list.GetRec(-1), nullptr);
  EXPECT_EQ(list.ParamByName("FLAG").AsInteger(), 180);
  for (const auto& lookup :
       std::vector<std::function<void()>>{[&] { list.ParamByName("Tabela2"); }, [&] { list.ParamByIndex(3); },
                                          [&] { list.ParamByIndex(-1); }}) {
    try {
      lookup();
      ADD_FAILURE() << "no error";
    } catch (const LivrexaError& e) {
      EXPECT_STREQ(e.what(), "Invalid DWParam");
    }
  }
}

TEST_F(ConsultaList, PutAndDeleteByPositionAndName) {
  list.PutRec(5, Param("Nada"));  // out of range: nothing written
  EXPECT_EQ(list.Count(), 3u);
  list.PutRec(0, Param("Primeiro"));
  EXPECT_EQ(list.GetRec(0)->ParamName(), "PRIMEIRO");
  list.PutRecName("resposta", Param("Outra", TObjectDirection::odOUT));
  EXPECT_EQ(list.GetRec(2)->ParamName(), "OUTRA");
  list.PutRecName("ausente", Param("X"));
  EXPECT_EQ(list.Count(), 3u);
  list.Delete(7);
  EXPECT_EQ(list.Count(), 3u);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.GetRec(0)->ParamName(), "TABELA");
}

TEST(DWParams, NoOutputGivesNull) {
  TDWParams list;
  EXPECT_EQ(list.ToJSON(), "null");
  list.Add(Param("Filtro"));
  EXPECT_EQ(list.ToJSON(), "null");
  EXPECT_EQ(list.CountOutParams(), 0);
}

TEST(DWParams, SameNameTwiceFindsTheFirst) {
  TDWParams list;
  list.Add(Param("Flag"))->SetAsString("first");
  list.Add(Param("FLAG"))->SetAsString("second");
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.ParamByName("flag").AsString(), "first");
}

TEST(DWParams, AddGivesTheListSettings) {
  TDWParams list;
  list.SetEncoding(TEncodeSelect::esASCII);
  list.SetJsonMode(TJsonMode::jmPureJSON);
  list.SetCriptOptions(true, "key");
  TJSONParam* p = list.Add(std::make_unique<TJSONParam>(TEncodeSelect::esUtf8));
  EXPECT_EQ(p->Encoding(), TEncodeSelect::esASCII);
  EXPECT_EQ(p->JsonMode(), TJsonMode::jmPureJSON);
  EXPECT_TRUE(p->CriptOptions().UseCripto());
  EXPECT_EQ(p->CriptOptions().KeyString(), "key");
  p->SetEncoded(false);
  p->SetAsString("Ação");
  EXPECT_EQ(p->AsString(), "A??o");  // stored under the list's 7-bit encoding
}

TEST(DWParams, SetCriptOptionsReachesEveryParameter) {
  TDWParams list;
  list.SetDecipher([](const std::string& text, const std::string& key) { return text + "/" + key; });
  list.Add(Param("A"))->SetAsString("a");
  list.Add(Param("B"))->SetAsString("b");
  list.SetCriptOptions(true, "k1");
  EXPECT_EQ(std::get<std::string>(list.ParamByName("A").GetVariantValue()), "a/k1");
  EXPECT_EQ(std::get<std::string>(list.ParamByName("B").GetVariantValue()), "b/k1");
  list.SetCriptOptions(false, "");
  EXPECT_EQ(std::get<std::string>(list.ParamByName("B").GetVariantValue()), "b");
}

TEST(DWParams, CopyFromMakesIndependentCopies) {
  TDWParams source;
  source.SetEncoding(TEncodeSelect::esASCII);
  source.Add(Param("Resposta", TObjectDirection::odOUT))->SetAsString("José");
  source.Add(Param("Flag"))->SetAsInteger(3);
  TDWParams copy;
  copy.Add(Param("Old"));
  copy.CopyFrom(source);
  ASSERT_EQ(copy.Count(), 2u);
  EXPECT_EQ(copy.GetRecName("Old"), nullptr);
  EXPECT_EQ(copy.ParamByName("resposta").AsString(), "José");
  EXPECT_EQ(copy.ParamByName("flag").AsInteger(), 3);
  EXPECT_EQ(copy.ParamByName("resposta").Encoding(), TEncodeSelect::esASCII);
  source.ParamByName("resposta").SetAsString("Ana");
  EXPECT_EQ(copy.ParamByName("resposta").AsString(), "José");
  EXPECT_EQ(copy.ToJSON(), R"({"ObjectType":"toParam", "Direction":"odOUT", "Encoded":"true", )"
                           R"("ValueType":"ovString", "RESPOSTA":"Sm9zw6k="})");
}

}  // namespace
}  // namespace livrexa

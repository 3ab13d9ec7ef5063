// The holdings lists over HTTP: "Consulta" 180, 190, 200, 270 and 290.

#include <gtest/gtest.h>

#include "catalogue/test_holdings_rows.h"

namespace livrexa::test {
namespace {

using HoldingsQueries = HoldingsTest;

std::vector<std::string> FieldNames(const EventReply& reply) {
  TFDMemTable table = reply.Rows();
  std::vector<std::string> names;
  for (size_t i = 0; i < table.FieldCount(); ++i) names.push_back(table.FieldDef(i).Name);
  return names;
}

TEST_F(HoldingsQueries, HoldingsListHasEveryColumnThenAZeroCopyCount) {
  const auto reply = Consulta(180);
  const std::vector<std::string> names = FieldNames(reply);
  ASSERT_EQ(names.size(), 32u);
  EXPECT_EQ(names.front(), "T09_NUMACERVO");
  EXPECT_EQ(names[1], "T09_TITULO");
  EXPECT_EQ(names[30], "T09_EXCLUIDOPOR");
  EXPECT_EQ(names.back(), "QREPLICAR");
  EXPECT_EQ(Column(reply, "qReplicar"), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(HoldingsQueries, HoldingsListFiltersByNumberOrTitleAndKeepsDeletedOnlyWhenAsked) {
  Exec("Update T09_ACERVO Set T09_Exclusao = CURRENT_DATE, T09_ExcluidoPor = 1 Where T09_NumAcervo = 2");
  struct Case {
    const char* filtro;
    bool desativados;
    std::vector<int> numbers;  // in title order
  } cases[] = {
      {"", false, {4, 1, 3}}, {"", true, {4, 1, 2, 3}}, {"   ", false, {4, 1, 3}},
      {"3", false, {3}},      {"2", false, {}},         {"2", true, {2}},
      {"ou", true, {2}},      {"Casmurro", false, {1}}, {"0", false, {}},  // 0 is no number: a title
      {"-1", false, {}},      {"a Es", false, {4}},     {"999", true, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ListedNumbers(Filter(c.filtro, c.desativados)), c.numbers)
        << "'" << c.filtro << "' " << c.desativados;
}

TEST_F(HoldingsQueries, AuthorsOfAHoldingAreTheLiveOnesByName) {
  Exec("Insert into T10_LINKAU (T10_NumAutor, T10_NumAcervo) Values (4, 1)");
  const auto reply = Consulta(190, Filter("1"));
  EXPECT_EQ(FieldNames(reply), (std::vector<std::string>{"T10_NUMAUTOR", "T05_AUTOR"}));
  TFDMemTable table = reply.Rows();
  EXPECT_EQ(ColumnTexts(table, "T05_Autor"),
            (std::vector<std::string>{"Clarice Lispector", "Machado de Assis"}));

  Exec("Update T05_AUTOR1 Set T05_Exclusao = CURRENT_DATE Where T05_NumAutor = 4");
  EXPECT_EQ(Column(Consulta(190, Filter("1")), "T10_NumAutor"), (std::vector<int>{1}));
  EXPECT_TRUE(Column(Consulta(190, Filter("abc")), "T10_NumAutor").empty());
}

TEST_F(HoldingsQueries, ContentsOfAHoldingByPage) {
  Exec("Insert into T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) Values ('Prefácio', 2, 1)");
  const auto reply = Consulta(200, Filter("1"));
  EXPECT_EQ(FieldNames(reply), (std::vector<std::string>{"T11_INDICE", "T11_PAGINA"}));
  TFDMemTable table = reply.Rows();
  EXPECT_EQ(ColumnTexts(table, "T11_Indice"),
            (std::vector<std::string>{"Prefácio", "Do título", "O agregado"}));
  EXPECT_EQ(Column(reply, "T11_Pagina"), (std::vector<int>{2, 9, 13}));
  EXPECT_TRUE(Column(Consulta(200, Filter("x")), "T11_Pagina").empty());
}

TEST_F(HoldingsQueries, PhotoOfAHoldingIsAtMostOneRow) {
  EXPECT_TRUE(Column(Consulta(270, Filter("1")), "T20_NumAcervo").empty());
  Exec("Insert into T20_FOTOS1 (T20_NumAcervo, T20_Foto) Values (1, x'FFD8FF00E0')");
  const auto reply = Consulta(270, Filter("1"));
  EXPECT_EQ(FieldNames(reply), (std::vector<std::string>{"T20_NUMACERVO", "T20_FOTO"}));
  TFDMemTable table = reply.Rows();
  ASSERT_EQ(table.RecordCount(), 1u);
  EXPECT_EQ(table.AsString("T20_Foto"), std::string("\xFF\xD8\xFF\x00\xE0", 5));
}

TEST_F(HoldingsQueries, AvailabilityOfLiveHoldingsWithAnItemType) {
  Exec("Update T09_ACERVO Set T09_Emprestado = True, T09_Baixa = '2024-06-01' Where T09_NumAcervo = 1");
  Exec("Update T09_ACERVO Set T09_NumTipoItem = 2 Where T09_NumAcervo = 2");
  Exec("Update T09_ACERVO Set T09_NumTipoItem = 99 Where T09_NumAcervo = 3");  // no such type
  const auto all = Consulta(290);
  EXPECT_EQ(FieldNames(all), (std::vector<std::string>{"T09_TITULO", "T09_NUMACERVO", "T09_EMPRESTADO",
                                                       "T09_BAIXA", "T08_QTDDIAS", "T09_NAOEMPRESTAR"}));
  EXPECT_EQ(Column(all, "T09_NumAcervo"), (std::vector<int>{4, 1, 2}));
  EXPECT_EQ(Column(all, "T08_QtdDias"), (std::vector<int>{7, 7, 3}));

  TFDMemTable table = Consulta(290, Filter("Dom")).Rows();
  ASSERT_EQ(table.RecordCount(), 1u);
  EXPECT_TRUE(table.AsBoolean("T09_Emprestado"));
  EXPECT_EQ(table.AsString("T09_Baixa"), "01/06/2024");
  EXPECT_FALSE(table.AsBoolean("T09_NaoEmprestar"));

  struct Case {
    const char* filtro;
    std::vector<int> numbers;
  } cases[] = {{"Casmurro", {}},  // titles that begin with the text only
               {"4", {4}},
               {"3", {}},  // its item type is missing
               {" ", {4, 1, 2}},
               {"Ou ", {2}}};
  for (const auto& c : cases)
    EXPECT_EQ(ListedNumbers(Filter(c.filtro), 290), c.numbers) << "'" << c.filtro << "'";
  Exec("Update T09_ACERVO Set T09_Exclusao = CURRENT_DATE Where T09_NumAcervo = 4");
  EXPECT_EQ(ListedNumbers({}, 290), (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace livrexa::test

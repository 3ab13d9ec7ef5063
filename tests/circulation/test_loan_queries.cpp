// The loan queries over HTTP against the seeded library: each a table of filters and the rows
// they must give.

#include <gtest/gtest.h>

#include "circulation/circulation_library.h"

namespace livrexa::test {
namespace {

using Strings = std::vector<std::string>;
using LoanQueries = CirculationTest;

TEST_F(LoanQueries, LoansOfAPeriodByLoanTitleOrReader) {
  const Strings all = {"1/1", "1/2", "2/3", "2/5", "3/1", "3/6", "5/2", "5/8"};
  struct Case {
    TConsultaInputs in;
    Strings rows;  // loan/holding, by loan
  } cases[] = {
      {{}, all},
      {{.Filtro = "  "}, all},
      {{.Filtro = "3"}, {"3/1", "3/6"}},
      {{.Filtro = "4"}, {}},  // its only item is deleted
      {{.Filtro = "Dom"}, {"1/1", "3/1"}},
      {{.Filtro = "asmur"}, {"1/1", "3/1"}},  // the title contains it
      {{.Filtro = "João"}, {"2/3", "2/5", "5/2", "5/8"}},
      {{.Data1 = "01/04/2024", .Data2 = "30/04/2024"}, {"3/1", "3/6"}},
      {{.Data1 = "20/03/2024", .Data2 = "10/04/2024"}, {"2/3", "2/5", "3/1", "3/6"}},  // both days included
      {{.Filtro = "Ana", .Data1 = "01/03/2024", .Data2 = "31/03/2024"}, {"1/1", "1/2"}},
      {{.Filtro = "3", .Data1 = "01/03/2024", .Data2 = "31/03/2024"}, {}},
      {{.Data2 = "lixo"}, all},  // no first day: no period, the last is not read
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeysInOrder(Consulta(210, c.in), {"T12_NumEmprest", "T13_NumAcervo"}, {"T12_NumEmprest"}),
              c.rows)
        << "Filtro '" << c.in.Filtro << "' Data1 '" << c.in.Data1 << "'";
  }

  const EventReply reply = Consulta(210, {.Filtro = "3"});
  EXPECT_EQ(Columns(reply), (Strings{"T12_NUMEMPREST", "T12_DATA", "T12_NUMLEITOR", "T04_LEITOR",
                                     "T13_NUMACERVO", "T09_TITULO", "T13_PREVISAO", "T13_MULTA",
                                     "T13_DEVOLUCAO", "T13_PGTOMULTA", "T13_MULTACANCELADA"}));
  TFDMemTable rows = reply.Rows();
  for (rows.First(); !rows.Eof() && rows.AsInteger("T13_NumAcervo") != 6;) rows.Next();
  ASSERT_FALSE(rows.Eof());
  EXPECT_EQ(rows.AsString("T12_Data"), "10/04/2024");
  EXPECT_EQ(rows.AsInteger("T12_NumLeitor"), 1);
  EXPECT_EQ(rows.AsString("T04_Leitor"), "Ana Luíza Conceição");
  EXPECT_EQ(rows.AsString("T09_Titulo"), "Revista Ciência Hoje");
  EXPECT_EQ(rows.AsString("T13_Previsao"), "13/04/2024");
  EXPECT_DOUBLE_EQ(rows.AsFloat("T13_Multa"), 7.0);
  EXPECT_EQ(rows.AsString("T13_Devolucao"), "20/04/2024");
  EXPECT_TRUE(rows.IsNull("T13_PgtoMulta"));
  EXPECT_EQ(rows.AsString("T13_MultaCancelada"), "21/04/2024");
}

TEST_F(LoanQueries, LoanHeadersWithALiveItem) {
  struct Case {
    TConsultaInputs in;
    Strings loans;
  } cases[] = {
      {{}, {"1", "2", "3", "5"}},  // loan 4 has only a deleted item
      {{.Filtro = "3"}, {"3"}},
      {{.Filtro = "3", .Data1 = "01/05/2024", .Data2 = "31/05/2024"}, {"3"}},  // a number ignores the dates
      {{.Filtro = "4"}, {}},
      {{.Filtro = "Luíza"}, {"1", "3"}},
      {{.Filtro = "Ana", .Data1 = "lixo"}, {"1", "3"}},  // a name ignores the dates too
      {{.Data1 = "01/03/2024", .Data2 = "31/03/2024"}, {"1", "2"}},
      {{.Data1 = "01/05/2024", .Data2 = "31/05/2024"}, {"5"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeysInOrder(Consulta(300, c.in), {"T12_NumEmprest"}, {"T12_NumEmprest"}), c.loans)
        << "Filtro '" << c.in.Filtro << "' Data1 '" << c.in.Data1 << "'";
  }
  const EventReply reply = Consulta(300, {.Filtro = "2"});
  EXPECT_EQ(Columns(reply), (Strings{"T12_NUMEMPREST", "T12_DATA", "T12_NUMLEITOR", "T04_LEITOR"}));
  TFDMemTable rows = reply.Rows();
  ASSERT_EQ(rows.RecordCount(), 1u);
  EXPECT_EQ(rows.AsString("T12_Data"), "20/03/2024");
  EXPECT_EQ(rows.AsString("T04_Leitor"), "João Pedro Araújo");
}

TEST_F(LoanQueries, ItemsByReaderHoldingLoanOrName) {
  struct Case {
    TConsultaInputs in;
    Strings items;  // T13_SeqEmprest, by title
  } cases[] = {
      {{}, {"6", "9", "3"}},  // every item still out
      {{.Desativados = true}, {"1", "6", "8", "4", "2", "9", "3", "5"}},
      {{.Filtro = "2", .Filtro2 = "0"}, {"9", "3"}},  // reader 2
      {{.Filtro = "2", .Filtro2 = "0", .Desativados = true}, {"8", "4", "9", "3"}},
      {{.Filtro = "1", .Filtro2 = "1"}, {"6"}},  // holding 1
      {{.Filtro = "1", .Filtro2 = "1", .Desativados = true}, {"1", "6"}},
      {{.Filtro = "3", .Filtro2 = "2", .Desativados = true}, {"6", "5"}},   // loan 3
      {{.Filtro = "Re", .Filtro2 = "1", .Desativados = true}, {"3", "5"}},  // titles beginning with it
      {{.Filtro = "asmurro", .Filtro2 = "1", .Desativados = true}, {}},
      {{.Filtro = "Jo", .Filtro2 = "0"}, {"9", "3"}},  // readers beginning with it
      {{.Filtro = "Jo", .Filtro2 = "7"}, {"9", "3"}},
      {{.Filtro = "Ana", .Filtro2 = "0", .Desativados = true}, {"1", "6", "2", "5"}},
      {{.Filtro = "2", .Filtro2 = "0", .Data1 = "lixo"}, {"9", "3"}},  // a filter ignores the dates
      {{.Desativados = true, .Data1 = "01/05/2024", .Data2 = "31/05/2024"}, {"8", "9"}},
      {{.Data1 = "01/05/2024", .Data2 = "31/05/2024"}, {"9"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeysInOrder(Consulta(330, c.in), {"T13_SeqEmprest"}, {"T09_Titulo"}), c.items)
        << "Filtro '" << c.in.Filtro << "' Filtro2 '" << c.in.Filtro2 << "' Desativados " << c.in.Desativados;
  }

  const EventReply reply = Consulta(330, {.Filtro = "3", .Filtro2 = "1"});
  EXPECT_EQ(Columns(reply),
            (Strings{"T09_TITULO", "T13_NUMACERVO", "T13_SEQEMPREST", "T13_NUMEMPREST", "T13_PREVISAO",
                     "T13_MULTA", "T13_DEVOLUCAO", "T13_PGTOMULTA", "T04_LEITOR", "T09_TOMBO",
                     "T04_NUMLEITOR", "T08_QTDDIAS", "T13_MULTACANCELADA", "T12_DATA"}));
  TFDMemTable rows = reply.Rows();
  ASSERT_EQ(rows.RecordCount(), 1u);
  EXPECT_EQ(rows.AsString("T09_Titulo"), "Reinações de Narizinho");
  EXPECT_EQ(rows.AsInteger("T13_NumEmprest"), 2);
  EXPECT_EQ(rows.AsString("T13_Previsao"), "27/03/2024");
  EXPECT_EQ(rows.AsInteger("T09_Tombo"), 1003);
  EXPECT_EQ(rows.AsInteger("T04_NumLeitor"), 2);
  EXPECT_EQ(rows.AsInteger("T08_QtdDias"), 7);
  EXPECT_EQ(rows.AsString("T12_Data"), "20/03/2024");
  EXPECT_TRUE(rows.IsNull("T13_Devolucao"));
}

TEST_F(LoanQueries, DueDatesOfTheItemsAReaderHasOut) {
  struct Case {
    const char* filtro;
    Strings dates;
  } cases[] = {{"2", {"13/05/2024", "27/03/2024"}}, {"1", {"17/04/2024"}}, {"3", {}}, {"x", {}}};
  for (const Case& c : cases) {
    const EventReply reply = Consulta(340, {.Filtro = c.filtro});
    EXPECT_EQ(Columns(reply), Strings{"T13_PREVISAO"});
    EXPECT_EQ(KeysInOrder(reply, {"T13_Previsao"}, {}), c.dates) << c.filtro;
  }
}

TEST_F(LoanQueries, BadDatesOrMeaningFailTheQuery) {
  struct Case {
    int flag;
    TConsultaInputs in;
    std::string message;
  } cases[] = {
      {210, {.Data1 = "32/13/2024", .Data2 = "01/01/2024"}, "'32/13/2024' is not a valid date"},
      {210, {.Data1 = "01/03/2024"}, "'' is not a valid date"},
      {300, {.Data1 = "01/03/2024", .Data2 = "x"}, "'x' is not a valid date"},
      {330, {.Data1 = "lixo"}, "'lixo' is not a valid date"},
      {330, {.Filtro = "5", .Filtro2 = "5"}, "Parameter 'p00' not found"},
      {330, {.Filtro = "Jo", .Filtro2 = "x"}, "'x' is not a valid integer value"},
  };
  Strings logged;
  for (Case c : cases) {
    c.in.Usuario = "ana";
    c.in.Rotina = "Emprestimos";
    ExpectQueryError(Consulta(c.flag, c.in), c.message);
    logged.push_back("ana|Emprestimos|" + c.message);
  }
  EXPECT_EQ(ErrLogRows(), logged);
  EXPECT_EQ(host_.Log().size(), 3 * logged.size());
}

}  // namespace
}  // namespace livrexa::test

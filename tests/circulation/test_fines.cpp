// Fines: the reader's total, the list by state, paying and cancelling, and the fine a return
// records.

#include <gtest/gtest.h>

#include "circulation/circulation_library.h"

namespace livrexa::test {
namespace {

using Strings = std::vector<std::string>;
using Fines = CirculationTest;

// The reader's total as "reader:amount", or "" when there is no row.
std::string Total(const EventReply& reply) {
  TFDMemTable rows = reply.Rows();
  if (rows.RecordCount() == 0) return "";
  EXPECT_EQ(rows.RecordCount(), 1u);
  return rows.AsString("T12_NumLeitor") + ":" + rows.AsString("qMulta");
}

TEST_F(Fines, TotalOfTheFinesNeverPaid) {
  // Ana: 4.00 open and 7.00 cancelled but never paid; João's fines are paid.
  struct Case {
    const char* filtro;
    const char* total;
  } cases[] = {{"1", "1:11"}, {"2", ""}, {"3", ""}, {"x", ""}, {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(Total(Consulta(350, {.Filtro = c.filtro})), c.total) << c.filtro;
  EXPECT_EQ(Columns(Consulta(350, {.Filtro = "1"})), (Strings{"T12_NUMLEITOR", "QMULTA"}));
}

TEST_F(Fines, ListByStateAndReader) {
  struct Case {
    const char* filtro;
    const char* estado;
    Strings fines;  // T13_SeqEmprest, by due date and title
  } cases[] = {
      {"", "0", {"1"}},                 // open
      {"", "1", {"4"}},                 // paid
      {"", "2", {"5", "8"}},            // cancelled, paid or not
      {"", "3", {"1", "4", "5", "8"}},  // every state; the returned item without fine is in none
      {"", "x", {"1"}},                 // not a number: open
      {"1", "3", {"1", "5"}},
      {"2", "1", {"4"}},
      {"Jo", "3", {"4", "8"}},
      {"Ana", "2", {"5"}},
      {"Zé", "3", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeysInOrder(Consulta(305, {.Filtro = c.filtro, .Filtro2 = c.estado}), {"T13_SeqEmprest"},
                          {"T13_Previsao", "T09_Titulo"}),
              c.fines)
        << "Filtro '" << c.filtro << "' Filtro2 '" << c.estado << "'";
  }
  const EventReply reply = Consulta(305, {.Filtro = "2", .Filtro2 = "1"});
  EXPECT_EQ(Columns(reply),
            (Strings{"T13_PREVISAO", "T13_NUMEMPREST", "T04_LEITOR", "T13_MULTA", "T09_TITULO", "T12_DATA",
                     "T13_NUMACERVO", "T09_TOMBO", "T13_PGTOMULTA", "T13_SEQEMPREST", "T12_NUMLEITOR"}));
  TFDMemTable rows = reply.Rows();
  ASSERT_EQ(rows.RecordCount(), 1u);
  EXPECT_DOUBLE_EQ(rows.AsFloat("T13_Multa"), 6.0);
  EXPECT_EQ(rows.AsString("T13_PgtoMulta"), "02/04/2024");
  EXPECT_EQ(rows.AsString("T09_Titulo"), "Memórias Póstumas de Brás Cubas");
}

TEST_F(Fines, ReturnWithAndWithoutPayment) {
  // Paid at the return: listed as paid at once, not owed.
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(2, 3, 3.5, true)}).Resposta(), "OK");
  EXPECT_EQ(
      Count("Select count(*) From T13_EMPRE2 Where T13_SeqEmprest = 3 and T13_PgtoMulta = CURRENT_DATE"), 1);
  EXPECT_EQ(KeysInOrder(Consulta(305, {.Filtro = "2", .Filtro2 = "1"}), {"T13_SeqEmprest"},
                        {"T13_Previsao", "T09_Titulo"}),
            (Strings{"4", "3"}));
  EXPECT_EQ(Total(Consulta(350, {.Filtro = "2"})), "");

  // Not paid: no payment day, the fine is open and owed.
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(5, 2, 1.25, false)}).Resposta(), "OK");
  EXPECT_EQ(Scalar("Select coalesce(T13_PgtoMulta, 'aberta') From T13_EMPRE2 Where T13_SeqEmprest = 9"),
            "aberta");
  EXPECT_EQ(KeysInOrder(Consulta(305, {.Filtro = "2", .Filtro2 = "0"}), {"T13_SeqEmprest"}, {}),
            Strings{"9"});
  EXPECT_EQ(Total(Consulta(350, {.Filtro = "2"})), "2:1,25");

  // No amount: stored as 0, in no list and no total.
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(3, 1, nullptr, false)}).Resposta(), "OK");
  EXPECT_EQ(Scalar("Select T13_Multa From T13_EMPRE2 Where T13_SeqEmprest = 6"), "0");
  EXPECT_EQ(KeysInOrder(Consulta(305, {.Filtro = "1", .Filtro2 = "3"}), {"T13_SeqEmprest"}, {}),
            (Strings{"1", "5"}));
  EXPECT_EQ(Total(Consulta(350, {.Filtro = "1"})), "1:11");
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(Fines, PayAndCancelMoveAFineBetweenStates) {
  auto list = [this](const char* estado) {
    return KeysInOrder(Consulta(305, {.Filtro2 = estado}), {"T13_SeqEmprest"}, {});
  };
  EXPECT_EQ(Exclui(307, {.Numero = 1}).Resposta(), "OK");
  EXPECT_EQ(
      Count("Select count(*) From T13_EMPRE2 Where T13_SeqEmprest = 1 and T13_PgtoMulta = CURRENT_DATE"), 1);
  EXPECT_EQ(list("0"), Strings{});
  EXPECT_EQ(list("1"), (Strings{"1", "4"}));
  EXPECT_EQ(Total(Consulta(350, {.Filtro = "1"})), "1:7");  // the cancelled, unpaid one still counts

  EXPECT_EQ(Exclui(305, {.Numero = 1}).Resposta(), "OK");  // a paid fine can still be cancelled
  EXPECT_EQ(
      Count("Select count(*) From T13_EMPRE2 Where T13_SeqEmprest = 1 and T13_MultaCancelada = CURRENT_DATE"),
      1);
  EXPECT_EQ(list("1"), Strings{"4"});
  EXPECT_EQ(list("2"), (Strings{"1", "5", "8"}));

  EXPECT_EQ(Exclui(307, {.Numero = 5}).Resposta(), "OK");  // and a cancelled one paid
  EXPECT_EQ(Total(Consulta(350, {.Filtro = "1"})), "");

  // An item that does not exist: "OK", nothing changes.
  EXPECT_EQ(Exclui(305, {.Numero = 999}).Resposta(), "OK");
  EXPECT_EQ(Exclui(307, {.Numero = 999}).Resposta(), "OK");
  EXPECT_EQ(list("3"), (Strings{"1", "4", "5", "8"}));
  EXPECT_TRUE(host_.Log().empty());
}

}  // namespace
}  // namespace livrexa::test

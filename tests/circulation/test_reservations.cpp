// Reservations: the list by reader or holding, the other readers of one holding, save and delete.

#include <gtest/gtest.h>

#include "circulation/circulation_library.h"

namespace livrexa::test {
namespace {

using Strings = std::vector<std::string>;
using Reservations = CirculationTest;
using enum TFieldType;

std::string ReservationRow(int numLeitor, int numAcervo, const TCell& validade1, const TCell& validade2) {
  return TRows({{"T15_NumReserva", ftInteger},
                {"T15_NumLeitor", ftInteger},
                {"T15_NumAcervo", ftInteger},
                {"T15_Validade1", ftDate},
                {"T15_Validade2", ftDate}})
      .Row({5, numLeitor, numAcervo, validade1, validade2})
      .Text();
}

TEST_F(Reservations, ListByReaderOrHoldingNumberOrName) {
  // Left out always: 3 (deleted), 4 (no reader 0), 6 (no holding 99).
  struct Case {
    const char* filtro;
    const char* filtro2;
    Strings reservations;  // by the day made
  } cases[] = {
      {"", "", {"1", "2", "5"}}, {"", "x", {"1", "2", "5"}},  // no filter: the meaning is not read
      {"3", "1", {"1", "2"}},                                 // holding 3
      {"2", "0", {"2", "5"}},                                 // reader 2
      {"1", "0", {"1"}},         {"Re", "1", {"1", "2"}},     // titles beginning with it
      {"Do", "1", {"5"}},        {"asmurro", "1", {}},
      {"Jo", "0", {"2", "5"}},  // readers beginning with it
      {"Jo", "4", {"2", "5"}},   {"Má", "0", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeysInOrder(Consulta(240, {.Filtro = c.filtro, .Filtro2 = c.filtro2}), {"T15_NumReserva"},
                          {"T15_Data"}),
              c.reservations)
        << "Filtro '" << c.filtro << "' Filtro2 '" << c.filtro2 << "'";
  }
  const EventReply reply = Consulta(240, {.Filtro = "5", .Filtro2 = "0"});
  EXPECT_EQ(Columns(reply), (Strings{"T15_NUMRESERVA", "T15_NUMLEITOR", "T15_NUMACERVO", "T15_VALIDADE1",
                                     "T15_VALIDADE2", "T15_DATA", "T15_UTILIZOU", "T15_EXCLUSAO",
                                     "T15_EXCLUIDOPOR", "T04_LEITOR", "T09_TITULO", "T09_TOMBO"}));
  TFDMemTable rows = Consulta(240, {.Filtro = "1", .Filtro2 = "1"}).Rows();
  ASSERT_EQ(rows.RecordCount(), 1u);
  EXPECT_EQ(rows.AsString("T04_Leitor"), "João Pedro Araújo");
  EXPECT_EQ(rows.AsString("T09_Titulo"), "Dom Casmurro");
  EXPECT_EQ(rows.AsInteger("T09_Tombo"), 1001);
  EXPECT_TRUE(rows.AsBoolean("T15_Utilizou"));  // used ones are listed too
  EXPECT_EQ(rows.AsString("T15_Validade2"), "10/05/2024");

  ExpectQueryError(Consulta(240, {.Filtro = "3", .Filtro2 = "2"}), "Parameter 'p00' not found");
  ExpectQueryError(Consulta(240, {.Filtro = "Re", .Filtro2 = "x"}), "'x' is not a valid integer value");
  EXPECT_EQ(ErrLogRows().size(), 2u);
}

TEST_F(Reservations, OtherReadersOfAHolding) {
  struct Case {
    const char* filtro;   // the reader to leave out
    const char* filtro2;  // the holding
    Strings reservations;
  } cases[] = {
      {"", "3", {"1", "2"}},  // never reader 0, never the deleted one
      {"0", "3", {"1", "2"}}, {"x", "3", {"1", "2"}}, {"1", "3", {"2"}},
      {"2", "3", {"1"}},      {"2", "99", {"6"}},  // no holding row needed here
      {"3", "1", {"5"}},                           // used, still listed
      {"2", "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeysInOrder(Consulta(360, {.Filtro = c.filtro, .Filtro2 = c.filtro2}), {"T15_NumReserva"},
                          {"T15_Data"}),
              c.reservations)
        << "Filtro '" << c.filtro << "' Filtro2 '" << c.filtro2 << "'";
  }
  EXPECT_EQ(Columns(Consulta(360, {.Filtro = "1", .Filtro2 = "3"})),
            (Strings{"T15_NUMRESERVA", "T15_NUMLEITOR", "T15_NUMACERVO", "T15_VALIDADE1", "T15_VALIDADE2",
                     "T15_DATA", "T15_UTILIZOU", "T15_EXCLUSAO", "T15_EXCLUIDOPOR"}));
}

TEST_F(Reservations, SaveInsertsEveryTimeAndDeleteHides) {
  const std::string row = ReservationRow(3, 3, Day(2024, 6, 1), Day(2024, 6, 7));
  EXPECT_EQ(Grava(240, {.Tabela = row}).Resposta(), "7");
  EXPECT_EQ(Grava(240, {.Tabela = row}).Resposta(), "8");  // the same again is a second reservation
  EXPECT_EQ(
      Count("Select count(*) From T15_RESERV Where T15_NumReserva in (7, 8) and T15_Data = CURRENT_DATE "
            "and T15_Utilizou = False and T15_Validade1 = '2024-06-01' and T15_Validade2 = '2024-06-07' "
            "and T15_NumLeitor = 3 and T15_NumAcervo = 3 and T15_Exclusao is Null"),
      2);
  EXPECT_EQ(Count("Select count(*) From T15_RESERV Where T15_NumReserva = 5 and T15_Utilizou = True"), 1);
  EXPECT_EQ(KeysInOrder(Consulta(360, {.Filtro = "1", .Filtro2 = "3"}), {"T15_NumReserva"}, {"T15_Data"}),
            (Strings{"2", "7", "8"}));

  EXPECT_EQ(Exclui(240, {.Numero = 7, .NumUsuario = 4}).Resposta(), "OK");
  EXPECT_EQ(Scalar("Select T15_ExcluidoPor From T15_RESERV Where T15_NumReserva = 7 and T15_Exclusao = "
                   "CURRENT_DATE"),
            "4");
  EXPECT_EQ(KeysInOrder(Consulta(240, {.Filtro = "3", .Filtro2 = "0"}), {"T15_NumReserva"}, {}),
            Strings{"8"});
  EXPECT_TRUE(host_.Log().empty());

  // A row without its last day fails, is logged and leaves nothing.
  const std::string incomplete =
      TRows({{"T15_NumLeitor", ftInteger}, {"T15_NumAcervo", ftInteger}, {"T15_Validade1", ftDate}})
          .Row({3, 3, Day(2024, 6, 1)})
          .Text();
  EXPECT_EQ(Grava(240, {.Tabela = incomplete, .Usuario = "ana", .Rotina = "Reservas"}).Resposta(),
            "Field 'T15_Validade2' not found");
  EXPECT_EQ(Count("Select count(*) From T15_RESERV"), 8);
  EXPECT_EQ(ErrLogRows(), Strings{"ana|Reservas|Field 'T15_Validade2' not found"});
  ASSERT_EQ(host_.Log().size(), 1u);
  EXPECT_EQ(host_.Log()[0].rfind("Grava --> ", 0), 0u);
}

}  // namespace
}  // namespace livrexa::test

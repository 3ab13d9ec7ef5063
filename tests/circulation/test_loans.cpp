// Loan save, return, renewal and item delete over HTTP, and the loan mark of the holdings.

#include <gtest/gtest.h>

#include "circulation/circulation_library.h"
#include "handlers/tdm_operations.h"

namespace livrexa::test {
namespace {

using Strings = std::vector<std::string>;
using Loans = CirculationTest;

constexpr const char* kHeaders = "Select count(*) From T12_EMPRE1";
constexpr const char* kItems = "Select count(*) From T13_EMPRE2";

TEST_F(Loans, SaveRepliesTheNewNumberAndMarksEveryHolding) {
  // Holding 4 is marked not to be lent and holding 7's only item is deleted: neither is tested.
  const EventReply reply =
      Grava(210, {.Tabela = LoanHeader(3, Day(2024, 6, 3)), .Tabela2 = LoanItems({4, 7}, Day(2024, 6, 10))});
  EXPECT_EQ(reply.Resposta(), "6");
  EXPECT_EQ(Scalar("Select T12_NumLeitor || ' ' || T12_Data From T12_EMPRE1 Where T12_NumEmprest = 6"),
            "3 2024-06-03");
  const EventReply items = Consulta(330, {.Filtro = "6", .Filtro2 = "2"});
  EXPECT_EQ(KeysInOrder(items, {"T13_NumAcervo", "T13_Previsao"}, {"T09_Titulo"}),
            (Strings{"4/10/06/2024", "7/10/06/2024"}));
  EXPECT_TRUE(Emprestado(4));
  EXPECT_TRUE(Emprestado(7));
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(Loans, OneUnavailableItemRefusesTheWholeLoan) {
  struct Case {
    std::vector<int> items;
    const char* refused;
  } cases[] = {
      {{5, 1, 6}, "000001"},   // the second is out
      {{10, 6, 3}, "000003"},  // the last is out
      {{5, 9, 6}, "000009"},   // deleted
      {{5, 99}, "000099"},     // no such holding
      {{5, 5}, "000005"},      // the same holding twice
  };
  Strings logged;
  for (const Case& c : cases) {
    const EventReply reply = Lend(2, c.items);
    EXPECT_EQ(reply.Resposta(), ItemMessage(c.refused));
    logged.push_back("balcao|Emprestimo|" + ItemMessage(c.refused));
  }
  EXPECT_EQ(Count(kHeaders), 5);
  EXPECT_EQ(Count(kItems), 9);
  for (int free : {5, 6, 10}) EXPECT_FALSE(Emprestado(free)) << free;
  EXPECT_EQ(ErrLogRows(), logged);
  const Strings log = host_.Log();
  ASSERT_EQ(log.size(), std::size(cases));
  EXPECT_EQ(log[0].rfind("Grava --> ", 0), 0u);
  EXPECT_NE(log[0].find(" - \r" + ItemMessage("000001")), std::string::npos) << log[0];

  // Without the items table the header goes too.
  const EventReply noItems = Grava(210, {.Tabela = LoanHeader(2, Day(2024, 6, 3))});
  EXPECT_EQ(noItems.Resposta(), "Cannot perform this operation on a closed dataset");
  EXPECT_EQ(Count(kHeaders), 5);
}

TEST_F(Loans, MarkFollowsLoanReturnAndItemDelete) {
  ASSERT_EQ(Lend(3, {5}).Resposta(), "6");
  EXPECT_TRUE(Emprestado(5));
  EXPECT_EQ(Lend(1, {5}).Resposta(), ItemMessage("000005"));

  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(6, 5, 0.0, false)}).Resposta(), "OK");
  EXPECT_FALSE(Emprestado(5));
  EXPECT_EQ(
      Count("Select count(*) From T13_EMPRE2 Where T13_NumEmprest = 6 and T13_Devolucao = CURRENT_DATE"), 1);

  ASSERT_EQ(Lend(1, {5}).Resposta(), "8");  // loan 7 was the refused one
  EXPECT_TRUE(Emprestado(5));
  const std::string item = OpenItems(5);
  ASSERT_EQ(item, "11");
  EXPECT_EQ(Exclui(210, {.Numero = 11, .NumUsuario = 4}).Resposta(), "OK");
  EXPECT_EQ(Scalar("Select T13_ExcluidoPor From T13_EMPRE2 Where T13_SeqEmprest = 11 and T13_Exclusao = "
                   "CURRENT_DATE"),
            "4");
  EXPECT_FALSE(Emprestado(5));  // the deleted item left every loan query: the holding is free again

  EXPECT_EQ(Lend(2, {5}).Resposta(), "9");
  EXPECT_TRUE(Emprestado(5));
  EXPECT_EQ(host_.Log().size(), 1u);  // the refused loan only
}

TEST_F(Loans, ReturnOrDeleteNeverFreesAHoldingStillOut) {
  // Returning an old item of holding 1 again, while loan 3 has it out: the return is overwritten,
  // the holding stays lent.
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(1, 1, 5.0, false)}).Resposta(), "OK");
  EXPECT_EQ(Scalar("Select T13_Multa From T13_EMPRE2 Where T13_SeqEmprest = 1"), "5");
  EXPECT_TRUE(Emprestado(1));
  EXPECT_EQ(OpenItems(1), "6");

  // Deleting a returned item of holding 2, which loan 5 has out.
  EXPECT_EQ(Exclui(210, {.Numero = 2, .NumUsuario = 1}).Resposta(), "OK");
  EXPECT_TRUE(Emprestado(2));

  // A return naming a holding the loan does not have changes nothing.
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(2, 1, 1.0, true)}).Resposta(), "OK");
  EXPECT_TRUE(Emprestado(1));
  EXPECT_EQ(Count("Select count(*) From T13_EMPRE2 Where T13_Devolucao = CURRENT_DATE"), 1);

  // Two items of one holding out at once (made elsewhere): the mark goes with the last.
  Exec("Insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao) Values (1, 3, '2024-03-11')");
  Exec("Insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao) Values (4, 2, '2024-05-03')");
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(2, 3, 0.0, false)}).Resposta(), "OK");
  EXPECT_TRUE(Emprestado(3));
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(1, 3, 0.0, false)}).Resposta(), "OK");
  EXPECT_FALSE(Emprestado(3));
  EXPECT_EQ(Exclui(210, {.Numero = 9, .NumUsuario = 1}).Resposta(), "OK");
  EXPECT_TRUE(Emprestado(2));
  EXPECT_EQ(Exclui(210, {.Numero = 11, .NumUsuario = 1}).Resposta(), "OK");
  EXPECT_FALSE(Emprestado(2));
  EXPECT_TRUE(host_.Log().empty());
}

TEST_F(Loans, RenewalSetsTheNewDueDate) {
  EXPECT_EQ(Grava(225, {.Tabela = RenewalRow(5, 2, Day(2024, 5, 20))}).Resposta(), "OK");
  EXPECT_EQ(KeysInOrder(Consulta(340, {.Filtro = "2"}), {"T13_Previsao"}, {}),
            (Strings{"20/05/2024", "27/03/2024"}));
  // Again, further: nothing limits it.
  EXPECT_EQ(Grava(225, {.Tabela = RenewalRow(5, 2, Day(2024, 7, 1))}).Resposta(), "OK");
  EXPECT_EQ(Scalar("Select T13_Previsao From T13_EMPRE2 Where T13_SeqEmprest = 9"), "01/07/2024");
  EXPECT_TRUE(Emprestado(2));
  EXPECT_TRUE(host_.Log().empty());
}

// The return, the renewal and every delete answer a database failure as their reply: nothing is
// logged and nothing changes.
TEST_F(Loans, FailuresAnsweredAsTheReply) {
  Exec("create exception E_BLOQUEIO 'Registro bloqueado'");
  Exec("create trigger T13_BLOQUEIO for T13_EMPRE2 before update as begin exception E_BLOQUEIO; end");
  Exec("create trigger T15_BLOQUEIO for T15_RESERV before update as begin exception E_BLOQUEIO; end");
  const EventReply replies[] = {
      Grava(220, {.Tabela = ReturnRow(2, 3, 1.5, true), .Usuario = "ana", .Rotina = "Devolucao"}),
      Grava(225, {.Tabela = RenewalRow(2, 3, Day(2024, 4, 3)), .Usuario = "ana", .Rotina = "Renovacao"}),
      Exclui(210, {.Numero = 3, .NumUsuario = 1}),
      Exclui(240, {.Numero = 1, .NumUsuario = 1}),
      Exclui(307, {.Numero = 1}),
      Exclui(305, {.Numero = 1}),
  };
  for (const EventReply& reply : replies)
    EXPECT_NE(reply.Resposta().find("Registro bloqueado"), std::string::npos) << reply.Resposta();
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());
  EXPECT_EQ(Scalar("Select coalesce(T13_Devolucao, T13_Previsao) From T13_EMPRE2 Where T13_SeqEmprest = 3"),
            "27/03/2024");
  EXPECT_EQ(Count("Select count(*) From T13_EMPRE2 Where T13_Exclusao is not Null"), 1);
  EXPECT_EQ(Count("Select count(*) From T13_EMPRE2 Where T13_SeqEmprest = 1 and T13_PgtoMulta is Null and "
                  "T13_MultaCancelada is Null"),
            1);
  EXPECT_EQ(Count("Select count(*) From T15_RESERV Where T15_Exclusao is not Null"), 1);
  EXPECT_TRUE(Emprestado(3));
}

// A database whose own triggers keep the mark: the operations write the same values again.
TEST_F(Loans, MarkKeptByTriggersOfTheDatabaseStaysRight) {
  Exec(
      "create trigger T13_MARCA for T13_EMPRE2 after insert as begin update T09_ACERVO set T09_Emprestado = "
      "True where T09_NumAcervo = new.T13_NumAcervo; end");
  Exec(
      "create trigger T13_DEVOLVE for T13_EMPRE2 after update as begin if (new.T13_Devolucao is not null and "
      "old.T13_Devolucao is null) then update T09_ACERVO set T09_Emprestado = False where T09_NumAcervo = "
      "new.T13_NumAcervo; end");
  ASSERT_EQ(Lend(3, {5, 6}).Resposta(), "6");
  EXPECT_TRUE(Emprestado(5));
  EXPECT_TRUE(Emprestado(6));
  EXPECT_EQ(Lend(1, {6}).Resposta(), ItemMessage("000006"));
  EXPECT_EQ(Grava(220, {.Tabela = ReturnRow(6, 5, 0.0, false)}).Resposta(), "OK");
  EXPECT_FALSE(Emprestado(5));
  EXPECT_TRUE(Emprestado(6));
  EXPECT_EQ(Lend(1, {5}).Resposta(), "8");
  EXPECT_EQ(OpenItems(5), "12");
}

}  // namespace
}  // namespace livrexa::test

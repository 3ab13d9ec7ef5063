// Deleting and restoring a holding over HTTP: "Exclui" 180 and 370, both refused while an item of
// the holding is out on loan.

#include <gtest/gtest.h>

#include "catalogue/test_holdings_rows.h"

namespace livrexa::test {
namespace {

const std::string kLoanMessage =
    "Este item do acervo está emprestado na nota de empréstimo 000007\rPor este motivo a exclusão não poderá "
    "ser realizada.";

class HoldingsDelete : public HoldingsTest {
 protected:
  // Loan 7 of reader 1 with an item for the holding, not returned.
  void Lend(int numero) {
    Exec("Insert into T12_EMPRE1 (T12_NumEmprest, T12_NumLeitor, T12_Data) Values (7, 1, CURRENT_DATE)");
    Exec(
        "Insert into T13_EMPRE2 (T13_SeqEmprest, T13_NumEmprest, T13_NumAcervo, T13_Previsao) Values (70, "
        "7, " +
        std::to_string(numero) + ", CURRENT_DATE + 7)");
  }
  std::string Delete(int numero, int numUsuario) {
    return Exclui(180, TExcluiInputs{numero, numUsuario, "", ""}).Resposta();
  }
  std::string Restore(int numero) { return Exclui(370, TExcluiInputs{numero, 0, "", ""}).Resposta(); }
  // "day/user" of the holding's deletion, "-/user" while it is live.
  std::string Deletion(int numero) {
    return Scalar(
        "Select iif(T09_Exclusao = CURRENT_DATE, 'today', coalesce(cast(T09_Exclusao as varchar(10)), "
        "'-')) || '/' || coalesce(T09_ExcluidoPor, '') From T09_ACERVO Where T09_NumAcervo = " +
        std::to_string(numero));
  }
};

TEST_F(HoldingsDelete, DeleteMarksTheHoldingAndLeavesItsCompanions) {
  Exec("Insert into T20_FOTOS1 (T20_NumAcervo, T20_Foto) Values (1, x'FFD8')");
  EXPECT_EQ(Delete(1, 3), "OK");
  EXPECT_EQ(Deletion(1), "today/3");
  EXPECT_EQ(Count("Select count(*) From T10_LINKAU Where T10_NumAcervo = 1"), 1);
  EXPECT_EQ(Count("Select count(*) From T11_INDICE Where T11_NumAcervo = 1"), 2);
  EXPECT_EQ(Count("Select count(*) From T20_FOTOS1 Where T20_NumAcervo = 1"), 1);
  EXPECT_EQ(ListedNumbers(Filter("")), (std::vector<int>{4, 2, 3}));  // no longer live
  EXPECT_EQ(ListedNumbers(Filter("1", true)), (std::vector<int>{1}));

  // Again: the day and the user are written over; a number without a holding is no error.
  EXPECT_EQ(Delete(1, 1), "OK");
  EXPECT_EQ(Deletion(1), "today/1");
  EXPECT_EQ(Delete(999, 1), "OK");
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());
}

TEST_F(HoldingsDelete, RestoreMakesTheHoldingLiveAgain) {
  ASSERT_EQ(Delete(2, 3), "OK");
  EXPECT_EQ(Restore(2), "OK");
  EXPECT_EQ(Deletion(2), "-/0");
  EXPECT_EQ(ListedNumbers(Filter("")), (std::vector<int>{4, 1, 2, 3}));
  // A live holding restored stays live, with the user cleared.
  EXPECT_EQ(Restore(3), "OK");
  EXPECT_EQ(Deletion(3), "-/0");
}

TEST_F(HoldingsDelete, AnItemOutOnLoanStopsDeleteAndRestore) {
  ASSERT_EQ(Delete(2, 3), "OK");
  Lend(1);
  Exec(
      "Insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao) Values (7, 2, CURRENT_DATE + 7)");

  EXPECT_EQ(Delete(1, 3), kLoanMessage);
  EXPECT_EQ(Deletion(1), "-/");
  EXPECT_EQ(Restore(2), kLoanMessage);
  EXPECT_EQ(Deletion(2), "today/3");
  // The refusal is the reply, not a failure: nothing logged.
  EXPECT_TRUE(host_.Log().empty());
  EXPECT_TRUE(ErrLogRows().empty());

  // A soft-deleted loan item that was never returned still holds the holding.
  Exec("Update T13_EMPRE2 Set T13_Exclusao = CURRENT_DATE, T13_ExcluidoPor = 1 Where T13_SeqEmprest = 70");
  EXPECT_EQ(Delete(1, 3), kLoanMessage);
  // Returned, it does not.
  Exec("Update T13_EMPRE2 Set T13_Devolucao = CURRENT_DATE Where T13_NumAcervo = 1");
  EXPECT_EQ(Delete(1, 3), "OK");
  EXPECT_EQ(Deletion(1), "today/3");
  Exec("Update T13_EMPRE2 Set T13_Devolucao = CURRENT_DATE Where T13_NumAcervo = 2");
  EXPECT_EQ(Restore(2), "OK");
  EXPECT_EQ(Deletion(2), "-/0");
}

}  // namespace
}  // namespace livrexa::test

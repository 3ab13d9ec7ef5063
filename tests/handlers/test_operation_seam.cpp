// What the catalogue and circulation operations are built on: the transaction guard, the flag
// tables' registration and the number texts of the replies.

#include <gtest/gtest.h>

#include "handlers/gateway/errors.h"
#include "handlers/tdm_dispatch.h"
#include "handlers/tdm_operations.h"
#include "handlers/transaction.h"
#include "support/firebird_db.h"

namespace livrexa::test {
namespace {

class TransactionGuardTest : public FbDatabaseTest {
 protected:
  void Insert(const std::string& name) {
    query_->SetSql({"Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values (:p00, False)"});
    query_->ParamByName("p00").SetAsString(name);
    query_->ExecSQL();
  }
  int64_t Count() { return ScalarInt("Select count(*) From T05_AUTOR1"); }
};

TEST_F(TransactionGuardTest, CommitKeepsAndLeavingUncommittedRollsBack) {
  {
    TTransaction transaction(*connection_);
    EXPECT_TRUE(transaction.Owner());
    Insert("kept");
    transaction.Commit();
  }
  EXPECT_FALSE(connection_->InTransaction());
  {
    TTransaction transaction(*connection_);
    Insert("dropped");
  }
  EXPECT_FALSE(connection_->InTransaction());
  EXPECT_EQ(Count(), 1);
}

TEST_F(TransactionGuardTest, FailurePassesOnWithItsTypeAndNothingStays) {
  auto work = [&] {
    return RunInTransaction(*connection_, [&] {
      Insert("first");
      query_->SetSql({"Insert into T05_AUTOR1 (T05_NumAutor, T05_Autor) Values (1, 'a')"});
      query_->ExecSQL();
      query_->ExecSQL();  // the same key again
      return std::string("OK");
    });
  };
  EXPECT_THROW(work(), TFbError);
  EXPECT_FALSE(connection_->InTransaction());
  EXPECT_EQ(Count(), 0);
}

TEST_F(TransactionGuardTest, InnerGuardJoinsAndNeverEndsTheOuterTransaction) {
  TTransaction outer(*connection_);
  {
    TTransaction inner(*connection_);
    EXPECT_FALSE(inner.Owner());
    Insert("inner, not committed");
  }
  // The inner guard left uncommitted: the outer transaction is still open with its work.
  ASSERT_TRUE(connection_->InTransaction());
  {
    TTransaction inner(*connection_);
    Insert("inner, committed");
    inner.Commit();
  }
  ASSERT_TRUE(connection_->InTransaction());
  EXPECT_EQ(Count(), 2);
  outer.Commit();
  EXPECT_FALSE(connection_->InTransaction());
  EXPECT_EQ(Count(), 2);
}

TEST(FlagTables, AFlagIsRegisteredOnce) {
  RegisterCatalogueOperations();
  RegisterCirculationOperations();
  RegisterCatalogueOperations();  // a second call registers nothing again
  try {
    RegisterConsulta(100, [](TDM&, TDWParams&) {});
    ADD_FAILURE() << "flag 100 registered twice";
  } catch (const LivrexaError& e) {
    EXPECT_STREQ(e.what(), "Flag 100 of Consulta is already registered");
  }
  EXPECT_THROW(RegisterGrava(120, [](TDM&) { return std::string(); }), LivrexaError);
  EXPECT_THROW(RegisterExclui(100, [](TDM&, TDWParams&) { return std::string(); }), LivrexaError);
}

TEST(NumberTexts, SixDigitsWithLeadingZeros) {
  struct Case {
    int64_t number;
    const char* text;
  } cases[] = {{0, "000000"}, {42, "000042"}, {123456, "123456"}, {1234567, "1234567"}, {-42, "-000042"}};
  for (const auto& c : cases) EXPECT_EQ(SixDigits(c.number), c.text);
}

}  // namespace
}  // namespace livrexa::test

// The connection pool's rules: reuse, hand-back with no transaction open, and the three ways it
// is emptied (another database path, Clear, a fatal error), plus switching it off.

#include <gtest/gtest.h>

#include <ibase.h>

#include "handlers/gateway/detail/client.h"
#include "handlers/gateway/tools.h"
#include "support/firebird_db.h"

namespace livrexa::test {
namespace {

class GatewayPoolTest : public FbDatabaseTest {
 protected:
  // The engine's number of the attachment a connection uses.
  static int64_t AttachmentId(TFbConnection& connection) {
    return ScalarInt(connection, "select current_connection from rdb$database");
  }
  // User attachments open on the database, seen from a connection of its own outside the pool.
  int64_t OpenAttachments() {
    TFbConnection observer([path = database_.string()] { return path; }, nullptr);
    return ScalarInt(observer, "select count(*) from mon$attachments where mon$system_flag = 0") - 1;
  }
};

TEST_F(GatewayPoolTest, ModulesReuseTheSameAttachmentOneAfterAnother) {
  int64_t firstId = 0;
  {
    auto a = NewConnection();
    firstId = AttachmentId(*a);
    EXPECT_EQ(pool_->IdleCount(), 0u);
  }
  EXPECT_EQ(pool_->IdleCount(), 1u);
  {
    auto b = NewConnection();
    EXPECT_EQ(AttachmentId(*b), firstId);
    EXPECT_EQ(pool_->IdleCount(), 0u);  // a module keeps its attachment to itself
    auto c = NewConnection();
    EXPECT_NE(AttachmentId(*c), firstId);
  }
  EXPECT_EQ(pool_->IdleCount(), 2u);
  EXPECT_EQ(pool_->AttachCount(), 2u);
}

TEST_F(GatewayPoolTest, AttachmentGoesBackWithItsTransactionRolledBack) {
  int64_t id = 0;
  {
    auto a = NewConnection();
    TFbQuery insert(*a);
    a->StartTransaction();
    insert.SQL.Add("Insert into T05_AUTOR1 (T05_Autor) Values ('esquecido')");
    insert.ExecSQL();
    id = AttachmentId(*a);
    // The module ends without commit or rollback.
  }
  auto b = NewConnection();
  ASSERT_EQ(AttachmentId(*b), id);
  EXPECT_FALSE(b->InTransaction());
  EXPECT_EQ(ScalarInt(*b, "select count(*) from T05_AUTOR1"), 0);
  // Only the short read transaction of the statement itself is open on the reused attachment.
  EXPECT_EQ(
      ScalarInt(*b, "select count(*) from mon$transactions where mon$attachment_id = current_connection"), 1);
  EXPECT_NO_THROW(b->StartTransaction());
  b->Rollback();
}

TEST_F(GatewayPoolTest, AnotherDatabasePathEmptiesThePool) {
  const std::string other = NewDatabase().string();
  auto a = NewConnection();  // in use while the path changes
  AttachmentId(*a);
  NewConnection()->Connect();  // one idle attachment of the first file
  ASSERT_EQ(pool_->IdleCount(), 1u);
  ASSERT_EQ(OpenAttachments(), 2);
  {
    TFbConnection elsewhere([other] { return other; }, pool_.get());
    EXPECT_EQ(ScalarInt(elsewhere, "select count(*) from T03_CONFIG"), 1);
    EXPECT_EQ(pool_->IdleCount(), 0u);
    EXPECT_EQ(OpenAttachments(), 1);  // the idle one was detached; the one in use stays
  }
  a.reset();  // comes back after the change: detached, not kept
  EXPECT_EQ(OpenAttachments(), 0);
  EXPECT_EQ(pool_->IdleCount(), 1u);  // only the attachment of the other file
}

TEST_F(GatewayPoolTest, ClearDetachesIdleAttachmentsAndThoseInUseWhenTheyComeBack) {
  auto inUse = NewConnection();
  inUse->Connect();
  NewConnection()->Connect();
  ASSERT_EQ(pool_->IdleCount(), 1u);
  ASSERT_EQ(OpenAttachments(), 2);
  pool_->Clear();
  EXPECT_EQ(pool_->IdleCount(), 0u);
  EXPECT_EQ(OpenAttachments(), 1);
  inUse.reset();
  EXPECT_EQ(pool_->IdleCount(), 0u);
  EXPECT_EQ(OpenAttachments(), 0);  // the file is free: a restore may move it
  const uint64_t before = pool_->AttachCount();
  NewConnection()->Connect();
  EXPECT_EQ(pool_->AttachCount(), before + 1);
}

TEST_F(GatewayPoolTest, SwitchedOffEveryModuleAttachesAndDetaches) {
  NewConnection()->Connect();
  ASSERT_EQ(pool_->IdleCount(), 1u);
  pool_->SetEnabled(false);
  EXPECT_EQ(pool_->IdleCount(), 0u);
  const uint64_t before = pool_->AttachCount();
  for (int i = 0; i < 3; ++i) {
    auto c = NewConnection();
    EXPECT_EQ(ScalarInt(*c, "select count(*) from T03_CONFIG"), 1);
  }
  EXPECT_EQ(pool_->AttachCount(), before + 3);
  EXPECT_EQ(pool_->IdleCount(), 0u);
  EXPECT_EQ(OpenAttachments(), 0);
}

TEST_F(GatewayPoolTest, KeepsNoMoreThanTheIdleLimit) {
  pool_->SetMaxIdle(2);
  {
    std::vector<std::unique_ptr<TFbConnection>> many;
    for (int i = 0; i < 4; ++i) {
      many.push_back(NewConnection());
      many.back()->Connect();
    }
  }
  EXPECT_EQ(pool_->IdleCount(), 2u);
  EXPECT_EQ(OpenAttachments(), 2);
}

TEST_F(GatewayPoolTest, ConnectionWithoutAPoolDetachesAtTheEnd) {
  {
    TFbConnection own([path = database_.string()] { return path; }, nullptr);
    own.Connect();
    EXPECT_EQ(OpenAttachments(), 1);
  }
  EXPECT_EQ(OpenAttachments(), 0);
}

TEST_F(GatewayPoolTest, FatalErrorDropsTheAttachmentEmptiesThePoolAndTheNextStatementAttachesAgain) {
  const std::filesystem::path gfix = FindFirebirdTool({"gfix"});
  if (gfix.empty()) GTEST_SKIP() << "gfix not installed";
  EXPECT_EQ(ScalarInt("select count(*) from T03_CONFIG"), 1);
  NewConnection()->Connect();  // and an idle attachment
  ASSERT_EQ(pool_->IdleCount(), 1u);

  // Another process shuts the database down, cutting every attachment off.
  const TToolRun shut = RunFirebirdTool(
      gfix, {"-shut", "full", "-force", "0", "-user", "SYSDBA", "-pas", "brickwall", database_.string()});
  ASSERT_EQ(shut.ExitCode, 0) << shut.Output;
  try {
    ScalarInt("select count(*) from T03_CONFIG");
    FAIL() << "the attachment was cut off";
  } catch (const TFbError& e) {
    EXPECT_TRUE(e.Fatal()) << e.what();
  }
  EXPECT_FALSE(connection_->Connected());
  EXPECT_EQ(pool_->IdleCount(), 0u);

  const TToolRun online =
      RunFirebirdTool(gfix, {"-online", "-user", "SYSDBA", "-pas", "brickwall", database_.string()});
  ASSERT_EQ(online.ExitCode, 0) << online.Output;
  EXPECT_EQ(ScalarInt("select count(*) from T03_CONFIG"), 1);
  EXPECT_TRUE(connection_->Connected());
}

TEST_F(GatewayPoolTest, OrdinaryFailuresKeepTheAttachment) {
  const int64_t id = AttachmentId(*connection_);
  connection_->NoteFailure(TFbError("violation", {isc_unique_key_violation}, false));
  EXPECT_TRUE(connection_->Connected());
  EXPECT_EQ(AttachmentId(*connection_), id);
  connection_->NoteFailure(TFbError("lost", {isc_att_shutdown}, true));
  EXPECT_FALSE(connection_->Connected());
}

TEST(FbErrorCodes, FatalCodesAreThoseThatLoseTheAttachment) {
  struct Case {
    intptr_t code;
    bool fatal;
  };
  const Case cases[] = {{isc_att_shutdown, true},  {isc_shutdown, true},
                        {isc_network_error, true}, {isc_lost_db_connection, true},
                        {isc_io_error, true},      {isc_lock_conflict, false},
                        {isc_deadlock, false},     {isc_unique_key_violation, false},
                        {isc_dsql_error, false}};
  for (const Case& c : cases) EXPECT_EQ(IsFatalFbError({isc_dsql_error, c.code}), c.fatal) << c.code;
  // The codes are read from a status vector with every kind of argument between them.
  const char* text = "T05";
  const intptr_t vector[] = {isc_arg_gds,
                             isc_dsql_error,
                             isc_arg_string,
                             reinterpret_cast<intptr_t>(text),
                             isc_arg_number,
                             7,
                             isc_arg_cstring,
                             3,
                             reinterpret_cast<intptr_t>(text),
                             isc_arg_gds,
                             isc_att_shutdown,
                             isc_arg_end};
  EXPECT_EQ(FbErrorCodes(vector), (std::vector<intptr_t>{isc_dsql_error, isc_att_shutdown}));
}

}  // namespace
}  // namespace livrexa::test

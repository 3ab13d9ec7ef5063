// The daily backup and the restore with Firebird's gbak, run as a separate process with the
// server's Firebird folder while the server's own attachments are open and writing.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/tools.h"
#include "support/firebird_db.h"

namespace livrexa::test {
namespace {

namespace fs = std::filesystem;

class GatewayBackupTest : public FbDatabaseTest {
 protected:
  void SetUp() override {
    FbDatabaseTest::SetUp();
    gbak_ = FindFirebirdTool({"gbak"});
    if (gbak_.empty()) GTEST_SKIP() << "gbak not installed";
  }
  TToolRun Backup(const fs::path& database, const fs::path& file) {
    return RunFirebirdTool(gbak_, {"-user", "SYSDBA", "-pas", "brickwall", database.string(), file.string()});
  }
  TToolRun Restore(const fs::path& file, const fs::path& database) {
    return RunFirebirdTool(gbak_, {"-user", "SYSDBA", "-pas", "brickwall", "-r", "-p", "4096", "-o",
                                   file.string(), database.string()});
  }
  fs::path gbak_;
};

TEST_F(GatewayBackupTest, BackupWhileConnectionsWriteThenRestoreIntoAWorkingDatabase) {
  // Three modules hold attachments and keep committing while gbak runs; one more waits in the pool.
  NewConnection()->Connect();
  std::atomic<bool> stop{false};
  std::atomic<int> committed{0};
  std::vector<std::string> failures(3);
  std::vector<std::thread> writers;
  for (int t = 0; t < 3; ++t) {
    writers.emplace_back([&, t] {
      try {
        auto connection = NewConnection();
        TFbQuery insert(*connection);
        insert.SQL.Add("Insert into T05_AUTOR1 (T05_Autor) Values (:p00)");
        for (int i = 0; !stop.load() || i < 5; ++i) {
          connection->StartTransaction();
          insert.Params(0).SetAsString("Autor " + std::to_string(t) + "-" + std::to_string(i));
          insert.ExecSQL();
          connection->Commit();
          committed.fetch_add(1);
        }
      } catch (const std::exception& e) {
        failures[t] = e.what();
      }
    });
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (committed.load() < 10 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const int before = committed.load();
  const fs::path backup = NewPath("BackupLX", ".FBK");
  const TToolRun run = Backup(database_, backup);
  stop = true;
  for (std::thread& w : writers) w.join();
  for (const std::string& f : failures) EXPECT_EQ(f, "");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  ASSERT_TRUE(fs::exists(backup));
  EXPECT_GT(fs::file_size(backup), 0u);

  // The restore recreates the database from the file, one table at a time, page size 4096.
  const fs::path restored = NewPath("restaurado", ".fdb");
  const TToolRun restore = Restore(backup, restored);
  ASSERT_EQ(restore.ExitCode, 0) << restore.Output;

  TFbConnection connection([restored] { return restored.string(); }, pool_.get());
  EXPECT_GE(ScalarInt(connection, "select count(*) from T05_AUTOR1"), before);
  EXPECT_LE(ScalarInt(connection, "select count(*) from T05_AUTOR1"), committed.load());
  EXPECT_EQ(ScalarInt(connection, "select count(*) from T03_CONFIG"), 1);
  EXPECT_EQ(ScalarInt(connection, "select mon$page_size from mon$database"), 4096);
  // A working database: the generated keys go on after the restored ones.
  const int64_t top = ScalarInt(connection, "select max(T05_NumAutor) from T05_AUTOR1");
  TFbQuery insert(connection);
  connection.StartTransaction();
  insert.SQL.Add(
      "Insert into T05_AUTOR1 (T05_Autor) Values ('depois da restauração') Returning T05_NumAutor");
  insert.Open();
  EXPECT_GT(insert.AsInteger(size_t{0}), top);
  connection.Commit();
}

TEST_F(GatewayBackupTest, RestoreRefusesAnExistingDatabaseFile) {
  ExecCommitted(*connection_, "insert into T05_AUTOR1 (T05_Autor) values ('Cecília')");
  const fs::path backup = NewPath("BackupLX", ".FBK");
  ASSERT_EQ(Backup(database_, backup).ExitCode, 0);
  ExecCommitted(*connection_, "insert into T05_AUTOR1 (T05_Autor) values ('depois do backup')");

  // The pool is emptied first, as the host does before a restore.
  connection_->Disconnect();
  pool_->Clear();
  const TToolRun run = Restore(backup, database_);
  EXPECT_NE(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ScalarInt("select count(*) from T05_AUTOR1"), 2);  // the old database is untouched
}

TEST_F(GatewayBackupTest, ToolsGetTheServersFirebirdFolder) {
  const auto environment = TFbEnvironment::Instance().ToolEnvironment();
  ASSERT_EQ(environment.size(), 3u);
  const TToolRun run = RunFirebirdTool("/usr/bin/env", {});
  for (const auto& [name, value] : environment)
    EXPECT_NE(run.Output.find(name + "=" + value + "\n"), std::string::npos) << name;
}

}  // namespace
}  // namespace livrexa::test

#include <gtest/gtest.h>

#include "firebird_test_db.h"
#include "host/backup_files.h"
#include "host/server_host.h"
#include "host_test_support.h"

// Backup and restore with the real gbak on real database files.

namespace livrexa::host {
namespace {
using namespace livrexa::host::testing;
namespace fs = std::filesystem;

class GbakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v gbak >/dev/null 2>&1") != 0 ||
        std::system("command -v isql-fb >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "gbak and isql-fb are needed";
    tools.backupMinimumWait = std::chrono::milliseconds(0);
    tools.emptyConnectionPool = [this] { ++poolEmptied; };
    fs::create_directories(home.path() / "dados com espaço");
    fs::create_directories(home.path() / "Backup");
    fs::create_directories(home.path() / "Backup 2");
    database = (home.path() / "dados com espaço" / "Livrexa.FDB").string();
    CreateTestDatabase(home.path(), database, 5);
    ASSERT_EQ(CountRows(home.path(), database), 5);
    host = std::make_unique<TServerHost>(home.path(), settings, view, thread, timer, listener, clock, tools);
    settings.Set({database, home.text() + "Backup", home.text() + "Backup 2", 7022, 12});
    clock.Set(2024, 5, 31, 12, 0);
  }

  void Tick() {
    host->JvTimer1Timer();
    ASSERT_TRUE(thread.RunUntil([&] { return !host->BackupRunning(); }));
  }
  void Restore(const std::string& backup) {
    bool done = false;
    host->RunRestore(backup, [&] { done = true; });
    ASSERT_TRUE(thread.RunUntil([&] { return done; }));
  }

  TTempFolder home{"gbak"};
  THostSettings settings;
  TRecordingView view;
  TManualThread thread;
  TRecordingTimer timer;
  TRecordingListener listener;
  TFixedClock clock;
  TBackupTools tools;
  int poolEmptied = 0;
  std::string database;
  std::unique_ptr<TServerHost> host;
};

TEST_F(GbakTest, DailyBackupOfADatabaseWhosePathHasBlanksIntoBothFolders) {
  Tick();
  std::string file1 = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  std::string file2 = home.text() + "Backup 2/BackupLX-2024-05-31.FBK";
  ASSERT_TRUE(fs::exists(file1));
  EXPECT_GT(fs::file_size(file1), 0u);
  EXPECT_EQ(ReadFileBytes(file1), ReadFileBytes(file2));
  ASSERT_GE(view.log.size(), 5u);
  EXPECT_EQ(view.log[0], "*** Início do Backup ***");
  EXPECT_EQ(view.log[3], "*** Backup 1 Concluído para  " + file1);
  EXPECT_EQ(view.log[4], "*** Backup 2 Concluído para " + file2);
}

TEST_F(GbakTest, SecondFolderAlreadyHoldingTheDaysFileIsNotOverwritten) {
  std::string file2 = home.text() + "Backup 2/BackupLX-2024-05-31.FBK";
  WriteFileBytes(file2, "já existe");
  Tick();
  EXPECT_TRUE(fs::exists(home.text() + "Backup/BackupLX-2024-05-31.FBK"));
  EXPECT_EQ(ReadFileBytes(file2), "já existe");
  EXPECT_EQ(view.log.at(4), "*** Erro ao copiar o backup para 2ª pasta: " + file2);
}

TEST_F(GbakTest, BackupOfAMissingDatabaseReportsNoFile) {
  settings.Set({home.text() + "nao existe.FDB", home.text() + "Backup", "", 7022, 12});
  Tick();
  EXPECT_EQ(view.log.at(3), "*** Backup não foi gerado em " + home.text() + "Backup/BackupLX-2024-05-31.FBK");
}

TEST_F(GbakTest, RestoringAMissingBackupLeavesTheOldCopyAndNoDatabase) {
  WriteFileBytes(home.path() / "Livrexa.old", "cópia anterior");
  Restore(home.text() + "Backup/nao-existe.FBK");
  EXPECT_FALSE(fs::exists(database));
  EXPECT_TRUE(fs::exists(home.path() / "Livrexa.old"));
  EXPECT_EQ(CountRows(home.path(), home.text() + "Livrexa.old"), 5) << "the database was moved aside whole";
  EXPECT_EQ(view.log, (std::vector<std::string>{"Arquivo Livrexa.old excluído com sucesso.",
                                                "Arquivo " + database + " renomeado com sucesso."}));
  EXPECT_EQ(poolEmptied, 1);
  EXPECT_EQ(listener.calls, (std::vector<std::string>{"off"}));
}

TEST_F(GbakTest, FullRoundTripBringsBackTheDataOfTheBackup) {
  Tick();
  std::string backup = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  ASSERT_TRUE(fs::exists(backup));
  RunIsql(home.path(), "insert into T values (100);\ninsert into T values (101);\ncommit;\n", database);
  ASSERT_EQ(CountRows(home.path(), database), 7);
  view.log.clear();
  Restore(backup);
  EXPECT_EQ(CountRows(home.path(), database), 5);
  EXPECT_EQ(CountRows(home.path(), home.text() + "Livrexa.old"), 7);
  EXPECT_EQ(view.log, (std::vector<std::string>{"Arquivo Livrexa.old excluído com sucesso.",
                                                "Arquivo " + database + " renomeado com sucesso.",
                                                "Arquivo " + backup + " restaurado com sucesso."}));
  std::string pageSize = RunIsql(home.path(), "show database;\n", database);
  EXPECT_NE(pageSize.find("PAGE_SIZE 4096"), std::string::npos) << pageSize;
}

TEST_F(GbakTest, MoveThatFailsLeavesTheDatabaseAndGbakRefusesToOverwrite) {
  Tick();
  std::string backup = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  RunIsql(home.path(), "insert into T values (100);\ncommit;\n", database);
  // A folder named Livrexa.old cannot be deleted as a file nor replaced by the move.
  fs::create_directories(home.path() / "Livrexa.old" / "dentro");
  view.log.clear();
  Restore(backup);
  EXPECT_TRUE(view.log.empty()) << view.log.front();
  EXPECT_EQ(CountRows(home.path(), database), 6) << "the database in place is untouched";
}

}  // namespace
}  // namespace livrexa::host

#include <gtest/gtest.h>

#include <algorithm>

#include "firebird_test_db.h"
#include "handlers/gateway/database_facts.h"
#include "host/backup_files.h"
#include "host/server_host.h"
#include "host_test_support.h"
#include "test_wiring.h"

// Backup and restore with the real gbak on real database files.

namespace livrexa::host {
namespace {
using namespace livrexa::test;
namespace fs = std::filesystem;

class GbakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v gbak >/dev/null 2>&1") != 0 ||
        std::system("command -v isql-fb >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "gbak and isql-fb are needed";
    tools.backupMinimumWait = std::chrono::milliseconds(0);
    tools.emptyConnectionPool = [this] { ++poolEmptied; };
    // The restored file must open: isql-fb counts its rows.
    tools.checkDatabase = [this](const std::string& path) {
      checked.push_back(path);
      if (CountRows(home.path(), path) < 0) throw LivrexaError("o arquivo restaurado não abre: " + path);
    };
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
    host->OnTimer();
    ASSERT_TRUE(thread.RunUntil([&] { return !host->BackupRunning(); }));
  }
  // Every file of the database's folder (a failed restore leaves no temporary file there).
  std::vector<std::string> DatabaseFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(database).parent_path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
  std::vector<std::string> checked;
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

TEST_F(GbakTest, BackupOfAMissingDatabaseReportsNoFileAndWhatGbakSaid) {
  std::string missing = home.text() + "nao existe.FDB";
  settings.Set({missing, home.text() + "Backup", "", 7022, 12});
  Tick();
  EXPECT_EQ(view.log.at(3), "*** Backup não foi gerado em " + home.text() + "Backup/BackupLX-2024-05-31.FBK");
  // gbak's own lines follow: the file it could not open, and its closing line.
  ASSERT_GE(view.log.size(), 9u);
  EXPECT_EQ(view.log.at(4).rfind("gbak: ERROR:", 0), 0u) << view.log.at(4);
  EXPECT_NE(view.log.at(4).find(missing), std::string::npos) << view.log.at(4);
  auto blank = std::find(view.log.begin() + 4, view.log.end(), "");
  ASSERT_NE(blank, view.log.end());
  EXPECT_EQ(*(blank - 1), "gbak:Exiting before completion due to errors");
}

TEST_F(GbakTest, RestoringAMissingBackupLeavesTheDatabaseAndTheOldCopyInPlace) {
  WriteFileBytes(home.path() / "Livrexa.old", "cópia anterior");
  std::vector<std::string> folderBefore = DatabaseFolder();
  std::string backup = home.text() + "Backup/nao-existe.FBK";
  Restore(backup);
  EXPECT_EQ(CountRows(home.path(), database), 5) << "the database was not touched";
  EXPECT_EQ(ReadFileBytes(home.path() / "Livrexa.old"), "cópia anterior");
  EXPECT_EQ(DatabaseFolder(), folderBefore) << "no restored file left behind";
  EXPECT_EQ(view.log,
            (std::vector<std::string>{
                "Erro no restore - 31/05/2024 12:00:00", "gbak: ERROR:cannot open backup file " + backup,
                "gbak:Exiting before completion due to errors", "*** Erro no restore ***"}));
  EXPECT_EQ(view.messages,
            (std::vector<std::string>{"O backup não foi restaurado.\r\rgbak: ERROR:cannot open backup file " +
                                      backup + "\rgbak:Exiting before completion due to errors"}));
  EXPECT_EQ(poolEmptied, 0);
  EXPECT_TRUE(checked.empty());
  EXPECT_EQ(listener.calls, (std::vector<std::string>{"off"}));
}

TEST_F(GbakTest, RestoringAFileThatIsNoBackupLeavesTheDatabase) {
  std::string notABackup = home.text() + "Backup/BackupLX-2024-05-30.FBK";
  WriteFileBytes(notABackup, std::string(8192, 'x'));
  std::vector<std::string> folderBefore = DatabaseFolder();
  Restore(notABackup);
  EXPECT_EQ(CountRows(home.path(), database), 5);
  EXPECT_EQ(DatabaseFolder(), folderBefore);
  EXPECT_FALSE(fs::exists(home.path() / "Livrexa.old"));
  ASSERT_GE(view.log.size(), 3u);
  EXPECT_EQ(view.log.front(), "Erro no restore - 31/05/2024 12:00:00");
  EXPECT_EQ(view.log.at(1).rfind("gbak:", 0), 0u) << view.log.at(1);
  EXPECT_EQ(view.log.back(), "*** Erro no restore ***");
  EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(GbakTest, RestoredFileThatDoesNotOpenIsDiscarded) {
  Tick();
  std::string backup = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  RunIsql(home.path(), "insert into T values (100);\ncommit;\n", database);
  std::vector<std::string> folderBefore = DatabaseFolder();
  tools.checkDatabase = [](const std::string&) { throw LivrexaError("I/O error for file"); };
  host = std::make_unique<TServerHost>(home.path(), settings, view, thread, timer, listener, clock, tools);
  view.log.clear();
  Restore(backup);
  EXPECT_EQ(CountRows(home.path(), database), 6) << "the database in place is untouched";
  EXPECT_EQ(DatabaseFolder(), folderBefore);
  EXPECT_EQ(view.log, (std::vector<std::string>{"Erro no restore - 31/05/2024 12:00:00", "I/O error for file",
                                                "*** Erro no restore ***"}));
  EXPECT_EQ(view.messages, (std::vector<std::string>{"O backup não foi restaurado.\r\rI/O error for file"}));
}

TEST_F(GbakTest, RestoreCreatesADatabaseThatWasMissing) {
  Tick();
  std::string backup = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  fs::remove(database);
  view.log.clear();
  Restore(backup);
  EXPECT_EQ(CountRows(home.path(), database), 5);
  EXPECT_EQ(view.log, (std::vector<std::string>{"Arquivo Livrexa.old excluído com sucesso.",
                                                "Arquivo " + backup + " restaurado com sucesso."}));
  EXPECT_TRUE(view.messages.empty());
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
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(poolEmptied, 1);
  // gbak wrote a file of its own beside the database, which opened before it took the place.
  ASSERT_EQ(checked.size(), 1u);
  EXPECT_EQ(fs::path(checked[0]).parent_path(), fs::path(database).parent_path());
  EXPECT_NE(checked[0], database);
  EXPECT_FALSE(fs::exists(checked[0]));
  std::string pageSize = RunIsql(home.path(), "show database;\n", database);
  EXPECT_NE(pageSize.find("PAGE_SIZE 4096"), std::string::npos) << pageSize;
}

// A backup of a newer Firebird than the installed gbak reads (a Firebird 4 backup where Firebird 3
// runs): the backup's format number, right after its first byte, is raised past this gbak's own.
TEST_F(GbakTest, BackupOfANewerFirebirdIsRefusedInWordsAndTheDatabaseStays) {
  Tick();
  std::string backup = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  std::string bytes = ReadFileBytes(backup);
  ASSERT_GT(bytes.size(), 8u);
  ASSERT_EQ(bytes.substr(1, 2), std::string("\x02\x04", 2)) << "the format attribute, four bytes long";
  const int format = static_cast<unsigned char>(bytes[3]);
  bytes[3] = static_cast<char>(format + 1);
  WriteFileBytes(backup, bytes);
  view.log.clear();
  Restore(backup);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find("Este backup foi feito por um Firebird mais novo que o desta máquina: ele está "
                                  "na versão de backup " + std::to_string(format + 1) +
                                  ", e o gbak instalado aqui lê só até a versão " + std::to_string(format) + "."),
            std::string::npos)
      << view.messages[0];
  EXPECT_NE(view.messages[0].find("do Debian 13 com o pacote firebird4.0"), std::string::npos);
  EXPECT_EQ(CountRows(home.path(), database), 5);
  EXPECT_EQ(DatabaseFolder(), std::vector<std::string>{"Livrexa.FDB"});
}

// A backup another Firebird made (LIVREXA_FIREBIRD3_BACKUP: one of table T with seven rows, made by
// Firebird 3's gbak; the Debian 13 run sets it) restores into this engine's own structure.
TEST_F(GbakTest, BackupOfAnotherFirebirdRestoresIntoThisEnginesStructure) {
  const char* foreign = std::getenv("LIVREXA_FIREBIRD3_BACKUP");
  if (!foreign || !fs::exists(foreign)) GTEST_SKIP() << "LIVREXA_FIREBIRD3_BACKUP names no backup";
  const std::string backup = home.text() + "Backup/BackupLX-2024-05-30.FBK";
  fs::copy_file(foreign, backup);
  Restore(backup);
  EXPECT_TRUE(view.messages.empty()) << view.messages[0];
  EXPECT_EQ(CountRows(home.path(), database), 7);
  UseTestFirebirdFolder();
  EXPECT_EQ(ReadFileOds(database).major, InstalledEngine().Ods().major);
}

TEST_F(GbakTest, OldCopyThatCannotBeDeletedLeavesTheDatabase) {
  Tick();
  std::string backup = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  RunIsql(home.path(), "insert into T values (100);\ncommit;\n", database);
  // A folder named Livrexa.old cannot be deleted as a file nor replaced by the move.
  fs::create_directories(home.path() / "Livrexa.old" / "dentro");
  view.log.clear();
  Restore(backup);
  EXPECT_EQ(view.log, (std::vector<std::string>{"Erro no restore - 31/05/2024 12:00:00",
                                                "Não foi possível excluir " + home.text() + "Livrexa.old.",
                                                "*** Erro no restore ***"}));
  EXPECT_EQ(CountRows(home.path(), database), 6) << "the database in place is untouched";
  EXPECT_EQ(poolEmptied, 0);
}

}  // namespace
}  // namespace livrexa::host

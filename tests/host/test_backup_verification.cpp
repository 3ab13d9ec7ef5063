// The daily backup with the server's own tools (gbak, the gateway's row counts) on a real demo
// database: every backup restored and counted, old daily backups deleted only after that.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "firebird_test_db.h"
#include "host/assembly/server_wiring.h"
#include "host/backup_check.h"
#include "host/server_host.h"
#include "host_test_support.h"
#include "support/source_dir.h"
#include "test_wiring.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;
namespace fs = std::filesystem;

class VerifiedBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v gbak >/dev/null 2>&1") != 0 ||
        std::system("command -v isql-fb >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "gbak and isql-fb are needed";
    wiring = TestWiring(home.path());
    wiring.backupTools.backupMinimumWait = std::chrono::milliseconds(0);
    for (const char* folder : {"dados", "Backup", "Backup 2"}) fs::create_directories(home.path() / folder);
    database = home.text() + "dados/Livrexa.FDB";
    ASSERT_EQ(CreateDemoDatabase(database), 0);
    clock.Set(2024, 5, 31, 12, 0);
  }
  void Start(int diasBackup) {
    host = std::make_unique<TServerHost>(home.path(), settings, view, thread, timer, listener, clock,
                                         wiring.backupTools);
    settings.Set({database, home.text() + "Backup", home.text() + "Backup 2", 7022, 12, diasBackup});
  }
  void Tick() {
    host->OnTimer();
    ASSERT_TRUE(thread.RunUntil([&] { return !host->BackupRunning(); }));
  }
  // Daily backups from 20 to 29 May in both folders, and files that only look like them.
  void OldBackups() {
    for (const char* folder : {"Backup", "Backup 2"}) {
      for (int day = 20; day <= 29; ++day)
        WriteFileBytes(home.path() / folder / ("BackupLX-2024-05-" + std::to_string(day) + ".FBK"), "antigo");
      for (const char* other : {"BackupLX-2024-01-01.fbk", "Livrexa.FBK", "BackupLX-2024-01-01.FBK.copia"})
        WriteFileBytes(home.path() / folder / other, "outro");
    }
  }
  std::vector<std::string> Files(const char* folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home.path() / folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string ExpectedVerifiedLine() const {
    return VerifiedLineFromCount(RunIsql(home.path(), kCountEveryTable, database));
  }
  std::vector<std::string> Deleted() const {
    const std::string prefix = "Backup antigo excluído: ";
    std::vector<std::string> deleted;
    for (const std::string& entry : view.log)
      if (entry.rfind(prefix, 0) == 0) deleted.push_back(entry.substr(prefix.size()));
    return deleted;
  }

  TTempFolder home{"verified"};
  THostWiring wiring;
  THostSettings settings;
  TRecordingView view;
  TManualThread thread;
  TRecordingTimer timer;
  TRecordingListener listener;
  TFixedClock clock;
  std::string database;
  std::unique_ptr<TServerHost> host;
};

TEST_F(VerifiedBackupTest, EachBackupIsVerifiedThenOnlyTheOldestDailyFilesGo) {
  OldBackups();
  Start(3);
  Tick();
  const std::string file1 = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  const std::string file2 = home.text() + "Backup 2/BackupLX-2024-05-31.FBK";
  ASSERT_GE(view.log.size(), 6u);
  EXPECT_EQ(view.log[3], "*** Backup 1 Concluído para  " + file1);
  EXPECT_EQ(view.log[4], "*** Backup 2 Concluído para " + file2);
  EXPECT_EQ(view.log[5], ExpectedVerifiedLine());
  EXPECT_EQ(view.log.back().rfind("Tempo decorrido: ", 0), 0u);

  // The newest three daily files stay in each folder; every other file stays too.
  const std::vector<std::string> kept{"BackupLX-2024-01-01.FBK.copia", "BackupLX-2024-01-01.fbk",
                                      "BackupLX-2024-05-28.FBK",       "BackupLX-2024-05-29.FBK",
                                      "BackupLX-2024-05-31.FBK",       "Livrexa.FBK"};
  EXPECT_EQ(Files("Backup"), kept);
  EXPECT_EQ(Files("Backup 2"), kept);
  std::vector<std::string> deleted = Deleted();
  ASSERT_EQ(deleted.size(), 16u);
  EXPECT_EQ(deleted.front(), home.text() + "Backup/BackupLX-2024-05-27.FBK");
  EXPECT_EQ(deleted.back(), home.text() + "Backup 2/BackupLX-2024-05-20.FBK");
  // The restored copy is gone.
  const std::string restored = VerificationPath(wiring.backupTools.verificationFolder, file1);
  EXPECT_FALSE(fs::exists(restored)) << restored;
  EXPECT_EQ(fs::path(restored).parent_path(), fs::path(wiring.backupTools.verificationFolder));
}

TEST_F(VerifiedBackupTest, WithoutDiasBackupEveryBackupIsKept) {
  OldBackups();
  Start(0);
  const std::vector<std::string> before = Files("Backup");
  Tick();
  EXPECT_EQ(view.log.at(5), ExpectedVerifiedLine());
  std::vector<std::string> after = Files("Backup");
  after.erase(std::remove(after.begin(), after.end(), "BackupLX-2024-05-31.FBK"), after.end());
  EXPECT_EQ(after, before);
  EXPECT_TRUE(Deleted().empty());
}

TEST_F(VerifiedBackupTest, AFailedVerificationIsLoggedAndDeletesNothing) {
  OldBackups();
  Start(1);
  // Something in the way of the restored copy: gbak cannot make it, so the backup is not verified.
  const std::string restored =
      VerificationPath(wiring.backupTools.verificationFolder, home.text() + "Backup/BackupLX-2024-05-31.FBK");
  fs::create_directories(fs::path(restored) / "dentro");
  Tick();
  ASSERT_GE(view.log.size(), 6u);
  EXPECT_EQ(view.log[3], "*** Backup 1 Concluído para  " + home.text() + "Backup/BackupLX-2024-05-31.FBK");
  const std::string& failure = view.log[5];
  EXPECT_EQ(
      failure.rfind("*** Erro na verificação do backup: o gbak não restaurou o backup: gbak: ERROR:", 0), 0u)
      << failure;
  EXPECT_NE(failure.find(restored), std::string::npos) << failure;
  for (const std::string& entry : view.log)
    EXPECT_EQ(entry.find("Backup verificado"), std::string::npos) << entry;
  EXPECT_TRUE(Deleted().empty());
  EXPECT_EQ(Files("Backup").size(), 14u) << "ten old, three look-alikes and the new one";
  EXPECT_TRUE(fs::is_directory(fs::path(restored) / "dentro")) << "what was in the way stays";
  fs::remove_all(restored);  // the verification folder is shared by every test of the process
}

TEST_F(VerifiedBackupTest, ABackupThatWasNotMadeIsNotVerifiedAndDeletesNothing) {
  OldBackups();
  Start(1);
  settings.Set({home.text() + "dados/nao-existe.FDB", home.text() + "Backup", "", 7022, 12, 1});
  Tick();
  EXPECT_EQ(view.log.at(3), "*** Backup não foi gerado em " + home.text() + "Backup/BackupLX-2024-05-31.FBK");
  for (const std::string& entry : view.log) EXPECT_EQ(entry.find("verifica"), std::string::npos) << entry;
  EXPECT_TRUE(Deleted().empty());
  EXPECT_EQ(Files("Backup").size(), 13u);
}

}  // namespace
}  // namespace livrexa::host

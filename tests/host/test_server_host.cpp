#include <gtest/gtest.h>

#include "host/backup_files.h"
#include "host/computer_name.h"
#include "host/config_file.h"
#include "host/server_host.h"
#include "host_test_support.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;
namespace fs = std::filesystem;

// A stand-in for gbak: writes its last argument as a file, as a backup does.
std::string WriteFakeGbak(const fs::path& folder, const std::string& body = "echo backup > \"$last\"") {
  fs::path script = folder / "fake-gbak";
  WriteFileBytes(script, "#!/bin/sh\nfor last; do :; done\n" + body + "\n");
  fs::permissions(script, fs::perms::owner_all);
  return script.string();
}

class ServerHostTest : public ::testing::Test {
 protected:
  ServerHostTest() { tools.backupMinimumWait = std::chrono::milliseconds(0); }

  TServerHost& Host() {
    if (!host)
      host =
          std::make_unique<TServerHost>(home.path(), settings, view, thread, timer, listener, clock, tools);
    return *host;
  }
  void WriteConfigFile(const TServerSettings& values) { WriteConfig(home.path(), values); }
  std::string MakeDatabaseFile() {
    std::string db = home.text() + "Livrexa.FDB";
    WriteFileBytes(db, "database");
    return db;
  }
  bool RunBackupTick() {
    Host().OnTimer();
    if (!Host().BackupRunning()) return false;
    EXPECT_TRUE(thread.RunUntil([&] { return !Host().BackupRunning(); }));
    return true;
  }

  TTempFolder home;
  THostSettings settings;
  TRecordingView view;
  TManualThread thread;
  TRecordingTimer timer;
  TRecordingListener listener;
  TFixedClock clock;
  TBackupTools tools;
  std::unique_ptr<TServerHost> host;
};

TEST_F(ServerHostTest, FirstStartInAnEmptyHomeWritesTheFileAndAsksForTheSettings) {
  EXPECT_EQ(Host().Start(), TServerHost::TStartOutcome::NotConfigured);
  TServerSettings written = ReadConfig(home.path());
  EXPECT_EQ(written.vPorta, 7022);
  EXPECT_EQ(written.vHoraBackup, 12);
  EXPECT_EQ(settings.Get().vPorta, 0) << "the settings in memory stay empty on the first run";
  EXPECT_EQ(settings.Get().vLocalDB, "");
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0],
            "Banco de dados não localizado na pasta.\r\rInforme corretamente na tela a seguir  ");
  EXPECT_EQ(view.settingsOpened, 1) << "no database, no administrator to check: the settings at once";
  EXPECT_TRUE(listener.calls.empty());
  EXPECT_FALSE(timer.enabled);
  EXPECT_EQ(settings.Title(), "Servidor do Banco de Dados do Livrexa 1.0 - Porta 8022");
  EXPECT_EQ(view.panel1, home.text());
  EXPECT_EQ(view.panel2, "Nome desse computador: " + NomeComputador());
}

TEST_F(ServerHostTest, DatabasePathNamingAFolderIsNotFound) {
  WriteConfigFile({home.text(), home.text(), "", 7123, 3});
  EXPECT_EQ(Host().Start(), TServerHost::TStartOutcome::NotConfigured);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0],
            "Banco de dados não localizado na pasta.\r\rInforme corretamente na tela a seguir  ");
  EXPECT_EQ(view.settingsOpened, 1);
  EXPECT_TRUE(listener.calls.empty());
  EXPECT_FALSE(Host().DatabaseFound());
}

TEST_F(ServerHostTest, ExistingDatabaseStartsTheListenerOnThePortAndEnablesTheTimer) {
  WriteConfigFile({MakeDatabaseFile(), home.text(), "", 7123, 3});
  EXPECT_EQ(Host().Start(), TServerHost::TStartOutcome::Serving);
  EXPECT_EQ(listener.calls, (std::vector<std::string>{"on 7123"}));
  EXPECT_EQ(settings.Title(), "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7123");
  EXPECT_EQ(view.title, settings.Title());
  EXPECT_TRUE(timer.enabled);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.settingsOpened, 0);
  EXPECT_TRUE(Host().DatabaseFound());
  EXPECT_EQ(settings.Get().vHoraBackup, 3);
}

TEST_F(ServerHostTest, ConfiguredButMissingDatabaseKeepsTheFileAndAsksForTheSettings) {
  WriteConfigFile({home.text() + "nao-existe.FDB", home.text(), "", 7123, 3});
  std::string before = ReadFileBytes(home.path() / "Config1.ini");
  EXPECT_EQ(Host().Start(), TServerHost::TStartOutcome::NotConfigured);
  EXPECT_EQ(ReadFileBytes(home.path() / "Config1.ini"), before);
  EXPECT_EQ(settings.Get().vPorta, 7123);
  EXPECT_EQ(view.settingsOpened, 1);
}

TEST_F(ServerHostTest, ListenerThatCannotStartLeavesTitleAndTimerAlone) {
  WriteConfigFile({MakeDatabaseFile(), home.text(), "", 7123, 3});
  listener.busyPorts = {7123};
  try {
    Host().Start();
    FAIL() << "the listener failure must reach the caller";
  } catch (const TPortError& e) {
    EXPECT_STREQ(e.what(),
                 "Não foi possível abrir a porta 7123: A porta 7123 já está em uso por outro programa.");
  }
  EXPECT_EQ(settings.Title(), "Servidor do Banco de Dados do Livrexa 1.0 - Porta 8022");
  EXPECT_FALSE(timer.enabled);
}

TEST_F(ServerHostTest, SavingSettingsWritesTheFileUpdatesMemoryAndRestartsOnTheNewPort) {
  WriteConfigFile({MakeDatabaseFile(), home.text(), "", 7123, 3});
  Host().Start();
  TServerSettings edited{home.text() + "Livrexa.FDB", home.text() + "b1", "", 7200, 22};
  Host().SaveSettings(edited);
  EXPECT_EQ(ReadConfig(home.path()).vPorta, 7200);
  EXPECT_EQ(settings.Get().vHoraBackup, 22);
  EXPECT_EQ(settings.Get().vPastaBackup1, home.text() + "b1");
  EXPECT_EQ(listener.calls, (std::vector<std::string>{"on 7123", "on 7200"}));
  EXPECT_EQ(settings.Title(), "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7200");
}

TEST_F(ServerHostTest, SavingAPortInUseKeepsTheListenerTheFileAndTheTitle) {
  std::string db = MakeDatabaseFile();
  WriteConfigFile({db, home.text(), "", 7123, 3});
  Host().Start();
  std::string fileBefore = ReadFileBytes(home.path() / "Config1.ini");
  listener.busyPorts = {7200};
  try {
    Host().SaveSettings({db, home.text() + "b1", "", 7200, 22});
    FAIL() << "a port in use must be reported";
  } catch (const TPortError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Não foi possível abrir a porta 7200: A porta 7200 já está em uso por outro programa.");
  }
  EXPECT_EQ(ReadFileBytes(home.path() / "Config1.ini"), fileBefore);
  EXPECT_EQ(settings.Get().vPorta, 7123);
  EXPECT_EQ(settings.Get().vHoraBackup, 3);
  EXPECT_EQ(settings.Title(), "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7123");
  EXPECT_TRUE(listener.active);
  EXPECT_EQ(listener.activePort, 7123) << "the old port keeps serving";
  EXPECT_EQ(listener.calls, (std::vector<std::string>{"on 7123", "on 7200"})) << "never switched off";
}

TEST_F(ServerHostTest, SettingsFileThatCannotBeWrittenLeavesTheListenerOnItsOldPort) {
  std::string db = MakeDatabaseFile();
  WriteConfigFile({db, home.text(), "", 7123, 3});
  Host().Start();
  fs::remove(home.path() / "Config1.ini");
  fs::create_directories(home.path() / "Config1.ini" / "pasta");  // no file can be written there
  EXPECT_THROW(Host().SaveSettings({db, home.text() + "b1", "", 7200, 22}), LivrexaError);
  EXPECT_EQ(listener.activePort, 7123);
  EXPECT_EQ(settings.Get().vPorta, 7123);
  EXPECT_EQ(settings.Title(), "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7123");
}

TEST_F(ServerHostTest, MissingDatabaseThenSavedSettingsStartTheListener) {
  WriteConfigFile({home.text() + "falta.FDB", home.text(), "", 7123, 3});
  EXPECT_EQ(Host().Start(), TServerHost::TStartOutcome::NotConfigured);
  EXPECT_FALSE(timer.enabled);
  listener.busyPorts = {7300};
  EXPECT_THROW(Host().SaveSettings({MakeDatabaseFile(), home.text() + "b1", "", 7300, 3}), TPortError);
  EXPECT_FALSE(listener.active);
  EXPECT_EQ(ReadConfig(home.path()).vLocalDB, home.text() + "falta.FDB") << "nothing written";
  Host().SaveSettings({home.text() + "Livrexa.FDB", home.text() + "b1", "", 7301, 3});
  EXPECT_TRUE(Host().DatabaseFound());
  EXPECT_EQ(listener.activePort, 7301);
  EXPECT_TRUE(timer.enabled);
  EXPECT_EQ(settings.Title(), "Servidor do Banco de Dados do Livrexa 1.1 - Porta 7301");
  EXPECT_EQ(ReadConfig(home.path()).vLocalDB, home.text() + "Livrexa.FDB");
}

TEST(PortErrorText, ReasonsInTheOperatorsWords) {
  struct Case {
    int port, error;
    std::string text;
  } cases[] = {
      {7022, EADDRINUSE,
       "Não foi possível abrir a porta 7022: A porta 7022 já está em uso por outro programa."},
      {80, EACCES,
       "Não foi possível abrir a porta 80: o sistema não permite que este programa use essa porta."},
      {7022, EADDRNOTAVAIL,
       "Não foi possível abrir a porta 7022: o endereço pedido não existe neste computador."},
      {0, EINVAL, "Não foi possível abrir a porta 0: número de porta inválido."},
  };
  for (const auto& c : cases) {
    std::string detail = c.error == EINVAL ? "número de porta inválido." : "engine text";
    TPortError error(c.port, c.error, detail);
    EXPECT_EQ(std::string(error.what()), c.text);
    EXPECT_EQ(error.Port(), c.port);
  }
}

TEST_F(ServerHostTest, TimerTicksOnlyFromTheHourAndOncePerDay) {
  fs::create_directory(home.path() / "b1");
  tools.gbakProgram = WriteFakeGbak(home.path());
  settings.Set({MakeDatabaseFile(), home.text() + "b1", "", 7022, 14});
  clock.Set(2024, 3, 9, 13, 59);
  EXPECT_FALSE(RunBackupTick()) << "before the hour";
  EXPECT_TRUE(view.log.empty());
  clock.Set(2024, 3, 9, 14, 0);
  EXPECT_TRUE(RunBackupTick());
  std::string file1 = home.text() + "b1/BackupLX-2024-03-09.FBK";
  EXPECT_TRUE(fs::exists(file1));
  view.log.clear();
  clock.Set(2024, 3, 9, 23, 50);
  EXPECT_FALSE(RunBackupTick()) << "the day's file is there";
  EXPECT_TRUE(view.log.empty());
  clock.Set(2024, 3, 10, 14, 10);
  EXPECT_TRUE(RunBackupTick()) << "a new day";
  EXPECT_TRUE(fs::exists(home.text() + "b1/BackupLX-2024-03-10.FBK"));
}

TEST_F(ServerHostTest, HourZeroBacksUpAtTheFirstTick) {
  fs::create_directory(home.path() / "b1");
  tools.gbakProgram = WriteFakeGbak(home.path());
  settings.Set({MakeDatabaseFile(), home.text() + "b1", "", 7022, 0});
  clock.Set(2024, 12, 31, 0, 5);
  EXPECT_TRUE(RunBackupTick());
  EXPECT_TRUE(fs::exists(home.text() + "b1/BackupLX-2024-12-31.FBK"));
}

TEST_F(ServerHostTest, BackupLogClearsFirstAndReportsBothFolders) {
  fs::create_directory(home.path() / "b1");
  fs::create_directory(home.path() / "b2");
  tools.gbakProgram = WriteFakeGbak(home.path());
  settings.Set({MakeDatabaseFile(), home.text() + "b1", home.text() + "b2", 7022, 12});
  clock.Set(2024, 5, 31, 12, 30, 15);
  view.log = {"entrada antiga"};
  timer.enabled = true;
  Host().OnTimer();
  EXPECT_FALSE(timer.enabled) << "disabled while the backup runs";
  ASSERT_TRUE(thread.RunUntil([&] { return !Host().BackupRunning(); }));
  EXPECT_TRUE(timer.enabled);
  std::string file1 = home.text() + "b1/BackupLX-2024-05-31.FBK";
  std::string file2 = home.text() + "b2/BackupLX-2024-05-31.FBK";
  EXPECT_EQ(view.log, (std::vector<std::string>{"*** Início do Backup ***", "Iniciou em: 12:30:15", " ",
                                                "*** Backup 1 Concluído para  " + file1,
                                                "*** Backup 2 Concluído para " + file2, "",
                                                "Terminou em: 12:30:15", "Tempo decorrido: 00:00:00"}));
  EXPECT_EQ(view.clears, 1);
}

TEST_F(ServerHostTest, WrongFolderSettingsLogOneEntryPerTick) {
  tools.gbakProgram = WriteFakeGbak(home.path());
  fs::create_directory(home.path() / "b1");
  struct Case {
    std::string folder1, folder2, entry;
  } cases[] = {
      {"   ", "", "A pasta de destino do backup não foi informado na configuração do servidor."},
      {home.text() + "falta", "", "A pasta de destino do backup não existe."},
      {home.text() + "b1", home.text() + "falta2", "A pasta de destino alternativa do backup não existe."},
  };
  clock.Set(2024, 5, 31, 15);
  for (const auto& c : cases) {
    settings.Set({MakeDatabaseFile(), c.folder1, c.folder2, 7022, 12});
    view.log.clear();
    timer.enabled = true;
    EXPECT_FALSE(RunBackupTick());
    EXPECT_FALSE(RunBackupTick());
    EXPECT_EQ(view.log, (std::vector<std::string>{c.entry, c.entry})) << c.folder1 << "|" << c.folder2;
    EXPECT_TRUE(timer.enabled);
  }
}

TEST_F(ServerHostTest, FailedBackupIsTriedAgainAtTheNextTick) {
  fs::create_directory(home.path() / "b1");
  tools.gbakProgram = WriteFakeGbak(home.path(), "exit 1");
  settings.Set({MakeDatabaseFile(), home.text() + "b1", "", 7022, 0});
  clock.Set(2024, 5, 31, 9);
  EXPECT_TRUE(RunBackupTick());
  EXPECT_EQ(view.log.at(3), "*** Backup não foi gerado em " + home.text() + "b1/BackupLX-2024-05-31.FBK");
  EXPECT_EQ(view.log.at(4), "O gbak terminou com o código 1.") << "gbak said nothing: its exit status";
  EXPECT_EQ(view.log.at(5), "");
  EXPECT_TRUE(RunBackupTick());
}

TEST_F(ServerHostTest, FailedBackupLogsTheLastLinesGbakWroteAndKeepsNoPartialFile) {
  fs::create_directory(home.path() / "b1");
  fs::create_directory(home.path() / "b2");
  // Writes part of the backup, complains on standard error (blank lines, CR LF) and fails.
  tools.gbakProgram = WriteFakeGbak(home.path(),
                                    "echo parte > \"$last\"\n"
                                    "printf 'gbak: linha 1\\n\\ngbak: linha 2\\r\\ngbak: linha 3\\n' >&2\n"
                                    "printf 'gbak: linha 4\\ngbak: linha 5\\n   \\ngbak: linha 6  \\n' >&2\n"
                                    "echo 'não vai para o log'\n"
                                    "exit 1");
  settings.Set({MakeDatabaseFile(), home.text() + "b1", home.text() + "b2", 7022, 0});
  clock.Set(2024, 5, 31, 9);
  EXPECT_TRUE(RunBackupTick());
  std::string file1 = home.text() + "b1/BackupLX-2024-05-31.FBK";
  EXPECT_FALSE(fs::exists(file1)) << "part of a backup is not the day's backup";
  EXPECT_EQ(std::vector<std::string>(view.log.begin() + 3, view.log.begin() + 10),
            (std::vector<std::string>{
                "*** Backup não foi gerado em " + file1, "gbak: linha 2", "gbak: linha 3", "gbak: linha 4",
                "gbak: linha 5", "gbak: linha 6",
                "*** Erro ao copiar o backup para 2ª pasta: " + home.text() + "b2/BackupLX-2024-05-31.FBK"}));
}

TEST(GbakOutput, LastLinesAndTheExitStatusWhenSilent) {
  EXPECT_EQ(LastLines("a\r\n\n  \nb  \nc\n", 2), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(LastLines("so uma", 5), (std::vector<std::string>{"so uma"}));
  EXPECT_TRUE(LastLines(" \n\t\n", 5).empty());
  EXPECT_EQ(GbakFailureLines(3, "\n"), (std::vector<std::string>{"O gbak terminou com o código 3."}));
  EXPECT_EQ(GbakFailureLines(-1, ""),
            (std::vector<std::string>{"O gbak foi interrompido antes de terminar."}));
  EXPECT_EQ(GbakFailureLines(1, "gbak: x\n"), (std::vector<std::string>{"gbak: x"}));
}

TEST_F(ServerHostTest, MissingBackupProgramIsReportedAsABackupError) {
  fs::create_directory(home.path() / "b1");
  tools.gbakProgram = home.text() + "sem-gbak";
  settings.Set({MakeDatabaseFile(), home.text() + "b1", "", 7022, 0});
  clock.Set(2024, 5, 31, 9, 1, 2);
  timer.enabled = true;
  Host().OnTimer();
  EXPECT_FALSE(Host().BackupRunning()) << "the failure ends the backup at once";
  ASSERT_GE(view.log.size(), 6u);
  EXPECT_EQ(view.log[3], "Erro no backup - 31/05/2024 09:01:02");
  EXPECT_NE(view.log[4].find("sem-gbak"), std::string::npos);
  EXPECT_EQ(view.log[5], "*** Erro no Backup ***");
  EXPECT_TRUE(timer.enabled);
}

TEST_F(ServerHostTest, MinimumWaitHoldsTheReportBack) {
  fs::create_directory(home.path() / "b1");
  tools.gbakProgram = WriteFakeGbak(home.path());
  tools.backupMinimumWait = std::chrono::milliseconds(400);
  settings.Set({MakeDatabaseFile(), home.text() + "b1", "", 7022, 0});
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(RunBackupTick());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

TEST(BackupFiles, NamesAndArgumentLists) {
  EXPECT_EQ(BackupFileName("/b", {2022, 5, 31, 0, 0, 0}), "/b/BackupLX-2022-05-31.FBK");
  EXPECT_EQ(BackupFileName("/c d", {2024, 1, 2, 0, 0, 0}), "/c d/BackupLX-2024-01-02.FBK");
  EXPECT_EQ(GbakBackupArgs("/a b/x.fdb", "/c/y.FBK"),
            (std::vector<std::string>{"-user", "SYSDBA", "-pas", "brickwall", "/a b/x.fdb", "/c/y.FBK"}));
  EXPECT_EQ(GbakRestoreArgs("/c/y.FBK", "/a b/x.fdb"),
            (std::vector<std::string>{"-user", "SYSDBA", "-pas", "brickwall", "-r", "-p", "4096", "-o",
                                      "/c/y.FBK", "/a b/x.fdb"}));
  TTempFolder home;
  EXPECT_EQ(OldDatabasePath(home.path()), home.text() + "Livrexa.old");
  EXPECT_EQ(GbakProgram(home.path()), "gbak");
  fs::create_directory(home.path() / "Firebird4");
  WriteFileBytes(home.path() / "Firebird4" / "gbak", "#!/bin/sh\n");
  EXPECT_EQ(GbakProgram(home.path()), "gbak") << "not executable";
  fs::permissions(home.path() / "Firebird4" / "gbak", fs::perms::owner_all);
  EXPECT_EQ(GbakProgram(home.path()), (home.path() / "Firebird4" / "gbak").string());
  EXPECT_EQ(RestoreTempPath("/a b/Livrexa.FDB"), "/a b/.Livrexa.FDB.restauro-" + std::to_string(getpid()));
}

TEST(HostClock, TextsAndElapsedTime) {
  TFixedClock clock;
  clock.Set(2024, 2, 29, 7, 8, 9);
  EXPECT_EQ(TimeText(clock.now), "07:08:09");
  EXPECT_EQ(DateTimeText(clock.now), "29/02/2024 07:08:09");
  using std::chrono::seconds;
  EXPECT_EQ(ElapsedText(seconds(0)), "00:00:00");
  EXPECT_EQ(ElapsedText(seconds(3725)), "01:02:05");
  EXPECT_EQ(ElapsedText(seconds(-5)), "00:00:00");
}

}  // namespace
}  // namespace livrexa::host

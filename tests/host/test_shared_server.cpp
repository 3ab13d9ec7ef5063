// Two livrexa-server processes sharing one database on a private Firebird server: what one saves
// the other serves, loans of one holding through both give one winner, the raw query keeps its
// read-only user; the start-up attaches instead of looking for a file.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "host/config_file.h"
#include "host/server_host.h"
#include "server_process.h"
#include "support/dataset_rows.h"
#include "support/firebird_server.h"
#include "support/source_dir.h"
#include "support/tdm_fixture.h"
#include "test_wiring.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;
using livrexa::test::CallEvent;
using livrexa::test::Day;
using livrexa::test::EventReply;
using livrexa::test::TFirebirdServer;
using livrexa::test::TRows;
using enum TFieldType;
namespace fs = std::filesystem;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \r\n\t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \r\n\t") - first + 1);
}

int RunScript(const std::string& script, const std::vector<std::string>& args, std::string& output) {
  std::string command = "bash '" + (livrexa::test::SourceDir() / "scripts" / script).string() + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  output.clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One Livrexa server: a home of its own whose Config1.ini names the shared database.
struct TLivrexa {
  TLivrexa(const std::string& database, const std::string& tag) : home(tag) {
    fs::create_directories(home.path() / "Backup");
    fs::create_directories(home.path() / "run");
    port = UnusedLoopbackPort();
    WriteConfig(home.path(), {database, home.text() + "Backup", "", port, 12});
  }
  void Start() { process = std::make_unique<TServerProcess>(home.path(), home.path() / "run"); }
  EventReply Send(const std::string& event, std::vector<std::pair<std::string, std::string>> inputs) const {
    return CallEvent(static_cast<uint16_t>(port), "DWServerEventsTAB_GERAL", event, inputs);
  }
  TTempFolder home;
  int port = 0;
  std::unique_ptr<TServerProcess> process;
};

class SharedServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!TFirebirdServer::SkipReason().empty() || !fs::exists(ServerBinary())) return;
    server_ = std::make_unique<TFirebirdServer>();
    database_ = server_->Name(server_->DataFolder() / "livrexa.fdb");
    std::string output;
    ASSERT_EQ(RunScript("create-db.sh", {"--demo", database_}, output), 0) << output;
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    if (const std::string reason = TFirebirdServer::SkipReason(); !reason.empty()) GTEST_SKIP() << reason;
    if (!fs::exists(ServerBinary())) GTEST_SKIP() << "no server executable at " << ServerBinary();
    ASSERT_TRUE(server_ && server_->Running());
  }
  // Starts both servers and waits until each serves its port.
  void StartBoth() {
    for (TLivrexa* s : {&a_, &b_}) {
      s->Start();
      ASSERT_TRUE(s->process->WaitForOutput("Porta " + std::to_string(s->port)))
          << s->process->Out() << s->process->Err();
    }
  }
  static std::string AuthorRow(const std::string& name) {
    return TRows({{"T05_NumAutor", ftInteger}, {"T05_Autor", ftString, 150}, {"T05_Desativado", ftBoolean}})
        .Row({0, name, false})
        .Text();
  }
  static EventReply Lend(const TLivrexa& through, int reader, int holding) {
    return through.Send(
        "Grava",
        {{"Flag", "210"},
         {"Tabela", TRows({{"T12_NumEmprest", ftInteger}, {"T12_NumLeitor", ftInteger}, {"T12_Data", ftDate}})
                        .Row({0, reader, Day(2024, 6, 3)})
                        .Text()},
         {"Tabela2", TRows({{"T13_NumAcervo", ftInteger}, {"T13_Previsao", ftDate}})
                         .Row({holding, Day(2024, 6, 10)})
                         .Text()},
         {"Usuario", "balcao"},
         {"Rotina", "Emprestimo"}});
  }
  std::string Isql(const std::string& sql) const {
    std::string output;
    EXPECT_EQ(server_->Isql("set heading off;\n" + sql + "\n", output, database_), 0) << output;
    return output;
  }

  static inline std::unique_ptr<TFirebirdServer> server_;
  static inline std::string database_;
  TLivrexa a_{database_, "shared-a"};
  TLivrexa b_{database_, "shared-b"};
};

TEST_F(SharedServerTest, WhatOneServerSavesTheOtherServes) {
  StartBoth();
  const std::string number =
      a_.Send("Grava", {{"Flag", "140"}, {"Tabela", AuthorRow("Cora Coralina")}}).Resposta();
  ASSERT_GT(std::atoi(number.c_str()), 0) << number;
  TFDMemTable found = b_.Send("Consulta", {{"Flag", "140"}, {"Filtro", "Cora"}}).Rows();
  EXPECT_EQ(livrexa::test::ColumnTexts(found, "T05_Autor"), std::vector<std::string>{"Cora Coralina"});
  EXPECT_NE(
      Isql("select T05_Autor from T05_AUTOR1 where T05_NumAutor = " + number + ";").find("Cora Coralina"),
      std::string::npos);

  // The raw query runs as the read-only user on the server: it reads, and moving a sequence is
  // refused by the server.
  const EventReply read =
      b_.Send("Consulta", {{"Flag", "999"}, {"Filtro", "Select Count(*) As N From T05_AUTOR1"}});
  TFDMemTable counted = read.Rows();
  EXPECT_EQ(livrexa::test::ColumnTexts(counted, "N"),
            std::vector<std::string>{Trimmed(Isql("select count(*) from T05_AUTOR1;"))})
      << read.body;
  const std::string sequence = Trimmed(
      Isql("select trim(rdb$generator_name) from rdb$relation_fields where rdb$relation_name = 'T05_AUTOR1' "
           "and rdb$field_name = 'T05_NUMAUTOR';"));
  const std::string value = "select gen_id(" + sequence + ", 0) from rdb$database;";
  const std::string before = Isql(value);
  const EventReply change = b_.Send(
      "Consulta", {{"Flag", "999"}, {"Filtro", "select gen_id(" + sequence + ", 1000) from rdb$database"}});
  EXPECT_NE(change.Resposta().find("no permission for USAGE access to GENERATOR"), std::string::npos)
      << change.body;
  EXPECT_EQ(Isql(value), before);
}

TEST_F(SharedServerTest, LoansOfOneHoldingThroughBothServersGiveOneWinner) {
  StartBoth();
  constexpr int kDesks = 4;  // two desks on each server
  const std::string itemTaken = " foi emprestado a outro leitor neste momento.";
  for (int holding : {1, 2, 3}) {
    std::vector<std::string> replies(kDesks);
    std::atomic<int> ready{0};
    std::vector<std::thread> desks;
    for (int i = 0; i < kDesks; ++i)
      desks.emplace_back([&, i] {
        ++ready;
        while (ready.load() < kDesks) std::this_thread::yield();
        replies[i] = Lend(i % 2 ? b_ : a_, 1 + i % 3, holding).Resposta();
      });
    for (std::thread& desk : desks) desk.join();
    int winners = 0;
    for (const std::string& reply : replies)
      if (reply.find(itemTaken) == std::string::npos) ++winners;
    EXPECT_EQ(winners, 1) << "holding " << holding << ": " << ::testing::PrintToString(replies);
    const std::string open =
        Isql("select count(*) from T13_EMPRE2 where T13_NumAcervo = " + std::to_string(holding) +
             " and T13_Devolucao is null and T13_Exclusao is null;");
    EXPECT_EQ(std::atoi(open.c_str()), 1) << open;
  }
}

TEST_F(SharedServerTest, StartUpAttachesToTheServerAndTellsRefusalFromAnUnreachableServer) {
  // No file of that name exists here: the server name is checked by attaching, and it serves.
  ASSERT_FALSE(fs::exists(database_));
  a_.Start();
  ASSERT_TRUE(a_.process->WaitForOutput("Porta " + std::to_string(a_.port))) << a_.process->Err();

  struct TCase {
    std::string database;
    int exitStatus;
    std::string said;
  };
  const std::string missing = server_->Name(server_->DataFolder() / "nao-existe.fdb");
  const std::string closed = "127.0.0.1/1:" + (server_->DataFolder() / "livrexa.fdb").string();
  const TCase cases[] = {
      {missing, 2, "nao-existe.fdb"},                     // refused: the settings must change
      {closed, 1, "Unable to complete network request"},  // unreachable: worth starting again later
  };
  for (const TCase& c : cases) {
    WriteConfig(b_.home.path(), {c.database, b_.home.text() + "Backup", "", b_.port, 12});
    b_.Start();
    EXPECT_EQ(b_.process->Wait(std::chrono::seconds(30)), c.exitStatus) << c.database << b_.process->Err();
    const std::string err = b_.process->Err();
    EXPECT_NE(err.find("Não foi possível abrir o banco de dados no servidor Firebird " + c.database),
              std::string::npos)
        << err;
    EXPECT_NE(err.find(c.said), std::string::npos) << err;
    EXPECT_EQ(err.find("Banco de dados não localizado na pasta."), std::string::npos) << err;
  }
}

// The host in this process with the server's wiring: start-up, the daily backup against the server
// with its check and retention, and the restore dialog's refusal.
TEST_F(SharedServerTest, DailyBackupRunsAgainstTheServerIsVerifiedAndRestoreIsRefused) {
  TTempFolder home{"shared-host"};
  THostWiring wiring = TestWiring(home.path());
  wiring.backupTools.backupMinimumWait = std::chrono::milliseconds(0);
  fs::create_directories(home.path() / "Backup");
  WriteConfig(home.path(), {database_, home.text() + "Backup", "", 7022, 12});
  WriteFileBytes(home.path() / "Config1.ini",
                 ReadFileBytes(home.path() / "Config1.ini") + "DiasBackup=1\r\n");
  WriteFileBytes(home.path() / "Backup" / "BackupLX-2024-05-30.FBK", "de ontem");
  THostSettings settings;
  TRecordingView view;
  TManualThread thread;
  TRecordingTimer timer;
  TRecordingListener listener;
  TFixedClock clock;
  clock.Set(2024, 5, 31, 12);
  TServerHost host(home.path(), settings, view, thread, timer, listener, clock, wiring.backupTools);

  ASSERT_EQ(host.Start(), TServerHost::TStartOutcome::Serving) << ::testing::PrintToString(view.messages);
  EXPECT_EQ(listener.calls, std::vector<std::string>{"on 7022"});
  EXPECT_EQ(settings.Get().vDiasBackup, 1);
  // gbak, a child with the server's Firebird folder, may reach the server.
  EXPECT_NE(ReadFileBytes(TestFirebirdFolder() / "firebird.conf")
                .find("\nProviders = Remote, Engine13, Engine12\n"),
            std::string::npos);

  host.OnTimer();
  ASSERT_TRUE(thread.RunUntil([&] { return !host.BackupRunning(); }));
  const std::string file = home.text() + "Backup/BackupLX-2024-05-31.FBK";
  std::string counted;
  ASSERT_EQ(server_->Isql(kCountEveryTable, counted, database_), 0) << counted;
  ASSERT_GE(view.log.size(), 6u);
  EXPECT_EQ(view.log[3], "*** Backup 1 Concluído para  " + file);
  EXPECT_EQ(view.log[4], VerifiedLineFromCount(counted));
  EXPECT_EQ(view.log[5], "Backup antigo excluído: " + home.text() + "Backup/BackupLX-2024-05-30.FBK");
  EXPECT_GT(fs::file_size(file), 10000u);

  view.messages.clear();
  bool done = false;
  host.RunRestore(file, [&] { done = true; });
  EXPECT_TRUE(done);
  EXPECT_EQ(view.messages, std::vector<std::string>{std::string(kRestoreOnServer) + database_});
  EXPECT_EQ(listener.calls, std::vector<std::string>{"on 7022"}) << "the listener kept serving";
  EXPECT_FALSE(fs::exists(home.path() / "Livrexa.old"));
  EXPECT_EQ(host.RestoreRefusal(), std::string(kRestoreOnServer) + database_);
}

}  // namespace
}  // namespace livrexa::host

namespace livrexa::host {
namespace {

// Every index no constraint made, the read-only user's rights and the user itself go: a database
// on a Firebird server as the field has it.
constexpr const char* kStripServerDatabase = R"(SET TERM ^ ;
EXECUTE BLOCK AS
  DECLARE n VARCHAR(63);
BEGIN
  FOR SELECT TRIM(i.RDB$INDEX_NAME) FROM RDB$INDICES i
      WHERE COALESCE(i.RDB$SYSTEM_FLAG, 0) = 0
        AND NOT EXISTS (SELECT 1 FROM RDB$RELATION_CONSTRAINTS c WHERE c.RDB$INDEX_NAME = i.RDB$INDEX_NAME)
      INTO :n DO
    EXECUTE STATEMENT 'DROP INDEX "' || n || '"';
  FOR SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 INTO :n DO
    EXECUTE STATEMENT 'REVOKE SELECT ON "' || n || '" FROM USER LIVREXA_LEITURA';
END^
SET TERM ; ^
COMMIT;
DROP USER LIVREXA_LEITURA USING PLUGIN Srp;
COMMIT;
)";

constexpr const char* kCountAdditions =
    "select 'indexes=' || count(*) from rdb$indices where coalesce(rdb$system_flag, 0) = 0;\n"
    "select 'grants=' || count(*) from rdb$user_privileges where rdb$user = 'LIVREXA_LEITURA' and "
    "rdb$privilege = 'S';\n"
    "select 'users=' || count(*) from sec$users where sec$user_name = 'LIVREXA_LEITURA';\n";

// Two servers starting at the same moment on one such database both add what it lacks, or find it
// added by the other: neither fails, neither warns, and the database ends with all of it once.
TEST_F(SharedServerTest, TwoServersStartingAtOnceOnAFieldDatabaseBothServeAndAddItOnce) {
  const std::string field = server_->Name(server_->DataFolder() / "campo.fdb");
  std::string output;
  ASSERT_EQ(RunScript("create-db.sh", {"--demo", field}, output), 0) << output;
  ASSERT_EQ(server_->Isql("set heading off;\n" + std::string(kCountAdditions), output, field), 0) << output;
  const std::string full = output;
  ASSERT_EQ(server_->Isql(kStripServerDatabase, output, field), 0) << output;
  ASSERT_EQ(server_->Isql("set heading off;\n" + std::string(kCountAdditions), output, field), 0) << output;
  ASSERT_NE(output.find("users=0"), std::string::npos) << output;
  ASSERT_NE(output.find("grants=0"), std::string::npos) << output;

  TLivrexa first(field, "field-a");
  TLivrexa second(field, "field-b");
  first.Start();
  second.Start();
  for (TLivrexa* s : {&first, &second}) {
    ASSERT_TRUE(s->process->WaitForOutput("Porta " + std::to_string(s->port), std::chrono::seconds(60)))
        << s->process->Out() << s->process->Err();
    EXPECT_EQ(s->process->Out().find("*** Aviso"), std::string::npos) << s->process->Out();
  }
  const std::string logs = first.process->Out() + second.process->Out();
  EXPECT_NE(logs.find("Usuário LIVREXA_LEITURA (consulta livre, somente leitura) criado no servidor Firebird."),
            std::string::npos)
      << logs;
  EXPECT_NE(logs.find("Índice IX_T10_NumAutor criado em T10_LINKAU"), std::string::npos) << logs;

  ASSERT_EQ(server_->Isql("set heading off;\n" + std::string(kCountAdditions), output, field), 0) << output;
  EXPECT_EQ(output, full) << "each index, right and the user once";
  for (const TLivrexa* s : {&first, &second}) {
    const EventReply read =
        s->Send("Consulta", {{"Flag", "999"}, {"Filtro", "Select Count(*) As N From T09_ACERVO"}});
    TFDMemTable counted = read.Rows();
    EXPECT_EQ(livrexa::test::ColumnTexts(counted, "N").size(), 1u) << read.body;
  }
}

}  // namespace
}  // namespace livrexa::host

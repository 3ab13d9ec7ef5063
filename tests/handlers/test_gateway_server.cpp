// The gateway with a database on a Firebird server: which names are server names, the providers
// each attachment names, firebird.conf in server mode, and real attachments to a private server.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "handlers/gateway/connection.h"
#include "handlers/gateway/database_name.h"
#include "handlers/gateway/detail/attachment.h"
#include "handlers/gateway/query.h"
#include "handlers/gateway/tools.h"
#include "support/firebird_db.h"
#include "support/firebird_server.h"

namespace livrexa::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(DatabaseNames, ServerNamesAreToldFromFiles) {
  struct TCase {
    const char* name;
    bool server;
  };
  const TCase cases[] = {
      {"escola-srv:/var/lib/firebird/data/livrexa.fdb", true},
      {"127.0.0.1/3051:/dados/livrexa.fdb", true},
      {"localhost/gds_db:/dados/livrexa.fdb", true},  // a service name instead of a port
      {"inet://escola-srv:3050//dados/livrexa.fdb", true},
      {"INET4://10.0.0.5/dados/livrexa.fdb", true},
      {"inet6://[::1]:3050//dados/livrexa.fdb", true},
      {"[::1]/3050:/dados/livrexa.fdb", true},
      {"  srv:/x.fdb", true},
      {"/var/lib/livrexa/Livrexa.FDB", false},
      {"/srv/dados:2024/Livrexa.FDB", false},  // an absolute path, colon or not
      {"C:\\Livrexa\\Livrexa.FDB", false},     // a drive letter
      {"dados/Livrexa.FDB", false},
      {"./srv:x.fdb", false},
      {"srv:", false},  // names no database
      {"inet://", false},
      {"srv/:/x.fdb", false},  // no port after the slash
      {"a b:/x.fdb", false},   // a blank is no host name
      {"", false},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(IsServerDatabaseName(c.name), c.server) << c.name;
    // Each attachment names its providers: the network for a server, the engines for a file.
    EXPECT_EQ(AttachmentProviders(c.name), c.server ? "Providers = Remote" : "Providers = Engine13, Engine12")
        << c.name;
  }
}

TEST(GatewayEnvironment, ServerModeListsTheRemoteProviderInFirebirdConfOnlyWhileOn) {
  const std::string server = TFbEnvironment::ConfigText(true);
  EXPECT_NE(server.find("\nProviders = Remote, Engine13, Engine12\n"), std::string::npos) << server;
  EXPECT_EQ(server.find("Loopback"), std::string::npos);
  EXPECT_EQ(TFbEnvironment::ConfigText(false).find("Remote"), std::string::npos);

  TempRoot();  // an active environment
  TFbEnvironment& environment = TFbEnvironment::Instance();
  const fs::path conf = environment.Folder() / "firebird.conf";
  environment.SetServerMode(true);
  EXPECT_TRUE(environment.ServerMode());
  EXPECT_EQ(ReadFile(conf), TFbEnvironment::ConfigText(true));
  environment.SetServerMode(false);
  EXPECT_EQ(ReadFile(conf), TFbEnvironment::ConfigText(false));
}

// One private server and one demo database on it for the whole suite (each test is its own
// process under CTest, so in practice one per test).
class GatewayServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!TFirebirdServer::SkipReason().empty()) return;
    server_ = std::make_unique<TFirebirdServer>();
    database_ = server_->Name(server_->DataFolder() / "livrexa.fdb");
    const TToolRun created = RunFirebirdTool(
        "/bin/bash", {(SourceDir() / "scripts" / "create-db.sh").string(), "--demo", database_});
    ASSERT_EQ(created.ExitCode, 0) << created.Output;
  }
  static void TearDownTestSuite() {
    TFbPool::Shared().Clear();
    server_.reset();
  }
  void SetUp() override {
    if (const std::string reason = TFirebirdServer::SkipReason(); !reason.empty()) GTEST_SKIP() << reason;
    ASSERT_TRUE(server_ && server_->Running());
    TempRoot();
  }
  static std::string Scalar(TFbConnection& connection, const std::string& sql) {
    TFbQuery query(connection);
    query.SQL.Add(sql);
    query.Open();
    return query.Eof() ? "" : query.AsString(size_t{0});
  }

  static inline std::unique_ptr<TFirebirdServer> server_;
  static inline std::string database_;
};

TEST_F(GatewayServerTest, AttachesOverTheNetworkWithTheSamePoolTransactionsAndTexts) {
  TFbPool pool;
  {
    TFbConnection connection([] { return database_; }, &pool);
    // The server holds the attachment, over TCP: the engine in this process never opened the file.
    EXPECT_EQ(Scalar(connection,
                     "Select Trim(MON$REMOTE_PROTOCOL) From MON$ATTACHMENTS Where MON$ATTACHMENT_ID = "
                     "Current_Connection"),
              "TCPv4");
    EXPECT_EQ(Scalar(connection, "Select T01_Usuario From T01_USUARI Where T01_NumUsuario = 1"), "ADMIN");

    TFbQuery query(connection);
    query.SetSql({"Select Cast(:p00 as varchar(30)) From RDB$DATABASE"});
    query.ParamByName("p00").SetAsString("Ação, memória e €");
    query.Open();
    EXPECT_EQ(query.AsString(size_t{0}), "Ação, memória e €");

    // An explicit transaction's work is undone by a rollback on the server too.
    const std::string before = Scalar(connection, "Select Count(*) From T05_AUTOR1");
    connection.StartTransaction();
    query.SetSql({"Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values (:p00, False) ",
                  "Returning T05_NumAutor"});
    query.ParamByName("p00").SetAsString("Cora Coralina");
    query.Open();
    EXPECT_GT(query.AsInteger(size_t{0}), 0);
    connection.Rollback();
    EXPECT_EQ(Scalar(connection, "Select Count(*) From T05_AUTOR1"), before);
  }
  // The attachment went back to the pool and serves the next module.
  EXPECT_EQ(pool.IdleCount(), 1u);
  TFbConnection again([] { return database_; }, &pool);
  EXPECT_EQ(Scalar(again, "Select Count(*) From T01_USUARI Where T01_NumUsuario = 1"), "1");
  EXPECT_EQ(pool.AttachCount(), 1u);
}

TEST_F(GatewayServerTest, EveryFormOfServerNameAttaches) {
  const std::string port = std::to_string(server_->Port());
  const std::string path = (server_->DataFolder() / "livrexa.fdb").string();
  for (const std::string& name : {"127.0.0.1/" + port + ":" + path, "localhost/" + port + ":" + path,
                                  "inet://127.0.0.1:" + port + "/" + path}) {
    TFbConnection connection([name] { return name; }, nullptr);
    EXPECT_EQ(Scalar(connection, "Select Count(*) From T01_USUARI Where T01_NumUsuario = 1"), "1") << name;
  }
}

TEST_F(GatewayServerTest, FailuresCarryTheServersMessageAndTellUnreachableFromRefused) {
  struct TCase {
    std::string name, password, message;
    bool unreachable;
  };
  const fs::path path = server_->DataFolder() / "livrexa.fdb";
  const TCase cases[] = {
      {database_, "errada", "Your user name and password are not defined", false},
      {server_->Name(server_->DataFolder() / "nao-existe.fdb"), "brickwall", "nao-existe.fdb", false},
      {"127.0.0.1/1:" + path.string(), "brickwall", "Unable to complete network request", true},
  };
  for (const TCase& c : cases) {
    TFbConnection connection([&c] { return c.name; }, nullptr);
    connection.Password = c.password;
    try {
      connection.Connect();
      ADD_FAILURE() << c.name << " attached";
    } catch (const TFbError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
      EXPECT_EQ(e.Unreachable(), c.unreachable) << c.name << ": " << e.what();
    }
    EXPECT_FALSE(connection.Connected());
  }
}

// The raw query's user exists on the server with its password and may only read.
TEST_F(GatewayServerTest, ReadOnlyUserReadsButCannotChange) {
  TFbConnection reader([] { return database_; }, nullptr);
  reader.UserName = "LIVREXA_LEITURA";
  reader.Password = "leitura";
  EXPECT_EQ(Scalar(reader, "Select Count(*) From T09_ACERVO"), "4");
  reader.StartTransaction();
  TFbQuery insert(reader);
  insert.SQL.Add("Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values ('Intruso', False)");
  try {
    insert.ExecSQL();
    ADD_FAILURE() << "the read-only user inserted a row";
  } catch (const TFbError& e) {
    EXPECT_NE(std::string(e.what()).find("no permission"), std::string::npos) << e.what();
  }
  reader.Rollback();
}

// gbak, started as the backup starts it, reaches the server only in server mode, and restores
// into a local file there as well.
TEST_F(GatewayServerTest, GbakBacksUpFromTheServerInServerModeAndRestoresLocally) {
  TFbEnvironment& environment = TFbEnvironment::Instance();
  const fs::path gbak = FindFirebirdTool({"gbak"});
  ASSERT_FALSE(gbak.empty());
  const fs::path backup = NewPath("servidor", ".fbk");
  const fs::path restored = NewPath("restaurado", ".fdb");
  const std::vector<std::string> credentials{"-user", "SYSDBA", "-pas", "brickwall"};
  auto args = [&](std::vector<std::string> rest) {
    std::vector<std::string> all = credentials;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
  };

  environment.SetServerMode(false);
  const TToolRun refused = RunFirebirdTool(gbak, args({"-b", database_, backup.string()}));
  EXPECT_NE(refused.ExitCode, 0) << "an engine-only configuration must not reach a server";
  EXPECT_FALSE(fs::exists(backup) && fs::file_size(backup) > 0);
  fs::remove(backup);

  environment.SetServerMode(true);
  const TToolRun made = RunFirebirdTool(gbak, args({"-b", database_, backup.string()}));
  ASSERT_EQ(made.ExitCode, 0) << made.Output;
  const TToolRun back = RunFirebirdTool(gbak, args({"-c", backup.string(), restored.string()}));
  ASSERT_EQ(back.ExitCode, 0) << back.Output;
  environment.SetServerMode(false);
  TFbConnection local([restored] { return restored.string(); }, nullptr);
  EXPECT_EQ(Scalar(local, "Select Count(*) From T09_ACERVO"), "4");
}

}  // namespace
}  // namespace livrexa::test

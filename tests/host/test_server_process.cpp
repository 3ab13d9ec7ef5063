// The livrexa-server executable as a process: first start, single instance, headless serving.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>

#include <thread>

#include "host/config_file.h"
#include "host_test_support.h"
#include "server_process.h"
#include "support/http_client.h"
#include "support/source_dir.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;
namespace fs = std::filesystem;

// A GET with the server's Basic credentials; "" when refused.
std::string HttpGet(int port, const std::string& target) {
  using namespace livrexa::test;
  return SendRaw(static_cast<uint16_t>(port),
                 BuildRequest("GET", target, BasicAuthLine("Tivel", "Tivel1968")));
}

class ServerProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(ServerBinary())) GTEST_SKIP() << "no server executable at " << ServerBinary();
    fs::create_directories(runtime);
  }
  // A home with the demo database and a Config1.ini naming it.
  int PrepareServingHome() {
    std::string command = "bash '" + (livrexa::test::SourceDir() / "scripts" / "create-db.sh").string() +
                          "' --demo --firebird-dir '" + (home.path() / ".firebird").string() + "' '" +
                          home.text() + "Livrexa.FDB' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    int port = UnusedLoopbackPort();
    WriteConfig(home.path(), {home.text() + "Livrexa.FDB", home.text() + "Backup", "", port, 12});
    return port;
  }
  TTempFolder home{"process"};
  fs::path runtime = home.path() / "run";
};

TEST_F(ServerProcessTest, FirstStartInAnEmptyHomeWritesConfigAndExitsNotConfigured) {
  TServerProcess server(home.path(), runtime);
  EXPECT_EQ(server.Wait(std::chrono::seconds(30)), 2);
  TServerSettings written = ReadConfig(home.path());
  EXPECT_EQ(written.vPorta, 7022);
  EXPECT_EQ(written.vHoraBackup, 12);
  EXPECT_EQ(written.vLocalDB, home.text() + "Livrexa.FDB");
  EXPECT_TRUE(fs::is_directory(home.path() / "Backup"));
  EXPECT_NE(
      server.Err().find("Banco de dados não localizado na pasta.  Informe corretamente na tela a seguir  "),
      std::string::npos)
      << server.Err();
  EXPECT_NE(server.Err().find("Config1.ini"), std::string::npos);
}

TEST_F(ServerProcessTest, HeadlessServerServesLogsAndStopsOnSignal) {
  int port = PrepareServingHome();
  TServerProcess server(home.path(), runtime);
  ASSERT_TRUE(
      server.WaitForOutput("Servidor do Banco de Dados do Livrexa 1.1 - Porta " + std::to_string(port)))
      << server.Out() << server.Err();
  std::string login = HttpGet(port, "/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN");
  EXPECT_NE(login.find("200 OK"), std::string::npos) << login;
  EXPECT_NE(login.find("\"RESPOSTA\":\"MQ==\""), std::string::npos) << "administrator number 1: " << login;
  // An unknown query flag takes the error path, whose entries reach standard output in order.
  std::string failed = HttpGet(port, "/Consulta?Flag=5&Rotina=TESTE&Usuario=ANA");
  EXPECT_NE(failed.find("200 OK"), std::string::npos);
  ASSERT_TRUE(server.WaitForOutput("-----------------------------------------------------"));
  std::string out = server.Out();
  size_t arrow = out.find("Consulta -> ");
  size_t routine = out.find("    Rotina: TESTE   Usuario: ANA");
  ASSERT_NE(arrow, std::string::npos) << out;
  ASSERT_NE(routine, std::string::npos) << out;
  EXPECT_LT(arrow, routine);
  EXPECT_NE(out.find("Erro do servidor. Nenhuma alternativa no flag de consulta.", arrow), std::string::npos);
  // The home holds the settings and the database: neither is ever answered as a file, while a
  // file of the home's www folder is.
  for (const char* name : {"/Config1.ini", "/Livrexa.FDB", "/www/../Config1.ini"}) {
    std::string file = HttpGet(port, name);
    EXPECT_NE(file.find("404"), std::string::npos) << name << ": " << file;
    EXPECT_EQ(file.find("[INDICE]"), std::string::npos) << name;
  }
  fs::create_directories(home.path() / "www");
  std::ofstream(home.path() / "www" / "leia.txt") << "livrexa";
  EXPECT_NE(HttpGet(port, "/leia.txt").find("livrexa"), std::string::npos);
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(std::chrono::seconds(10)), 0);
  EXPECT_EQ(HttpGet(port, "/"), "") << "the port is closed";
}

// The embedded engine takes SIGTERM for itself when it loads; the window's mode must still stop on it.
TEST_F(ServerProcessTest, WindowServerStopsOnSignal) {
  int port = PrepareServingHome();
  TServerProcess server(home.path(), runtime, {}, TMode::Window);
  std::string login;
  for (int attempt = 0; attempt < 300 && login.empty(); ++attempt) {
    login = HttpGet(port, "/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN");
    if (login.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_NE(login.find("MQ=="), std::string::npos) << login << server.Err();
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(std::chrono::seconds(10)), 0);
  EXPECT_EQ(HttpGet(port, "/"), "") << "the port is closed";
}

TEST_F(ServerProcessTest, PortInUseIsToldInPortugueseAndNothingServes) {
  int port = PrepareServingHome();
  int blocker = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(uint16_t(port));
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
  ASSERT_EQ(listen(blocker, 4), 0);
  TServerProcess server(home.path(), runtime);
  EXPECT_EQ(server.Wait(std::chrono::seconds(30)), 1);
  close(blocker);
  std::string number = std::to_string(port);
  EXPECT_NE(server.Err().find("Não foi possível abrir a porta " + number + ": A porta " + number +
                              " já está em uso por outro programa."),
            std::string::npos)
      << server.Err();
}

TEST_F(ServerProcessTest, SecondInstanceEndsAtOnceAndTheFirstKeepsServing) {
  int port = PrepareServingHome();
  TServerProcess first(home.path(), runtime);
  ASSERT_TRUE(first.WaitForOutput("Porta " + std::to_string(port))) << first.Out() << first.Err();
  std::string configBefore = ReadFileBytes(home.path() / "Config1.ini");

  TTempFolder otherHome{"process2"};
  TServerProcess second(otherHome.path(), runtime);
  EXPECT_EQ(second.Wait(std::chrono::seconds(10)), 0);
  EXPECT_EQ(second.Out(), "");
  EXPECT_EQ(second.Err(), "");
  EXPECT_FALSE(fs::exists(otherHome.path() / "Config1.ini")) << "the second instance touches no file";
  EXPECT_EQ(ReadFileBytes(home.path() / "Config1.ini"), configBefore);
  EXPECT_NE(HttpGet(port, "/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN").find("MQ=="), std::string::npos);
}

}  // namespace
}  // namespace livrexa::host

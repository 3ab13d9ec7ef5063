// The livrexa-server executable with its default limits, against clients of a hostile network:
// one address that opens many connections, a request whose framing is ambiguous, a raw query that
// tries to move a sequence.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "host/config_file.h"
#include "host_test_support.h"
#include "support/http_client.h"
#include "support/source_dir.h"

namespace livrexa::host {
namespace {

using namespace livrexa::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The server, headless, in its own process; killed at the end.
class TServer {
 public:
  TServer(const fs::path& home, const fs::path& runtime) {
    out_ = home / "limits-stdout.txt";
    const std::string binary = (livrexa::test::BinaryDir() / "src" / "livrexa-server").string();
    pid_ = fork();
    if (pid_ == 0) {
      const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(out, 2);
      setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      execl(binary.c_str(), binary.c_str(), "--headless", "--home", home.c_str(), nullptr);
      _exit(127);
    }
  }
  ~TServer() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool WaitForOutput(const std::string& text) {
    const auto deadline = Clock::now() + 30s;
    while (Clock::now() < deadline) {
      if (ReadFileBytes(out_).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  fs::path out_;
};

int ConnectFrom(int port, const char* source) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &from.sin_addr);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool ClosedSoon(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 3000) <= 0) return false;
  char c;
  return ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0;
}

class ServerLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(livrexa::test::BinaryDir() / "src" / "livrexa-server"))
      GTEST_SKIP() << "no server executable";
    fs::create_directories(runtime_);
    const std::string command = "bash '" +
                                (livrexa::test::SourceDir() / "scripts" / "create-db.sh").string() +
                                "' --demo --firebird-dir '" + (home_.path() / ".firebird").string() + "' '" +
                                home_.text() + "Livrexa.FDB' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    port_ = UnusedLoopbackPort();
    WriteConfig(home_.path(), {home_.text() + "Livrexa.FDB", home_.text() + "Backup", "", port_, 12});
    if (!LimitLines().empty()) {
      std::string config = ReadFileBytes(ConfigPath(home_.path()));
      WriteFileBytes(ConfigPath(home_.path()), config + "[LIMITES]\r\n" + LimitLines());
    }
    server_ = std::make_unique<TServer>(home_.path(), runtime_);
    ASSERT_TRUE(server_->WaitForOutput("Porta " + std::to_string(port_)));
  }
  // Lines of a [LIMITES] section written into Config1.ini before the server starts.
  virtual std::string LimitLines() const { return ""; }
  livrexa::test::RawReply Ask(const std::string& target, const std::string& headers = "",
                              const std::string& body = "") {
    return livrexa::test::Exchange(
        static_cast<uint16_t>(port_),
        livrexa::test::BuildRequest(body.empty() ? "GET" : "POST", target,
                                    livrexa::test::BasicAuthLine("Tivel", "Tivel1968") + headers, body));
  }
  TTempFolder home_{"limits"};
  fs::path runtime_ = home_.path() / "run";
  int port_ = 0;
  std::unique_ptr<TServer> server_;
};

TEST_F(ServerLimitsTest, OneAddressGetsSixteenConnectionsAndOthersAreStillServed) {
  std::vector<int> held;
  for (int i = 0; i < 16; ++i) held.push_back(ConnectFrom(port_, "127.0.0.2"));
  std::this_thread::sleep_for(200ms);
  for (int i = 0; i < 8; ++i) {
    const int extra = ConnectFrom(port_, "127.0.0.2");
    EXPECT_TRUE(ClosedSoon(extra)) << "connection " << 17 + i << " of one address";
    ::close(extra);
  }
  const auto reply = Ask("/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN");
  EXPECT_NE(reply.body.find("\"RESPOSTA\":\"MQ==\""), std::string::npos) << reply.raw;
  for (const int fd : held) ::close(fd);
}

TEST_F(ServerLimitsTest, AmbiguousFramingIsRefusedAndTheRawQueryCannotMoveASequence) {
  const std::string raw =
      "POST /Consulta HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\nContent-Length: 30\r\n\r\nabc";
  EXPECT_EQ(livrexa::test::Exchange(static_cast<uint16_t>(port_), raw).status, 400);
  const auto reply = Ask("/Consulta?Flag=999&Filtro=select%20gen_id(RDB%241%2C%201)%20from%20rdb%24database");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body.find("TABELA\":\"ey"), std::string::npos) << "no rows: " << reply.body;
  EXPECT_TRUE(server_->WaitForOutput("no permission for USAGE access to GENERATOR RDB$1"));
}

// Limits of Config1.ini: four connections from one address, and a value the server refuses.
class ServerLimitSettingsTest : public ServerLimitsTest {
 protected:
  std::string LimitLines() const override { return "ConexoesPorEndereco=4\r\nParametrosMaximos=zero\r\n"; }
};

TEST_F(ServerLimitSettingsTest, TheHomesLimitsApplyAndARefusedValueIsLogged) {
  EXPECT_TRUE(server_->WaitForOutput("ParametrosMaximos=zero: valor inválido"));
  std::vector<int> held;
  for (int i = 0; i < 4; ++i) held.push_back(ConnectFrom(port_, "127.0.0.2"));
  std::this_thread::sleep_for(200ms);
  const int extra = ConnectFrom(port_, "127.0.0.2");
  EXPECT_TRUE(ClosedSoon(extra)) << "fifth connection of one address";
  ::close(extra);
  const auto reply = Ask("/ValidaUsuario?Usuario=ADMIN&Senha=ADMIN");
  EXPECT_NE(reply.body.find("\"RESPOSTA\":\"MQ==\""), std::string::npos) << reply.raw;
  for (const int fd : held) ::close(fd);
}

}  // namespace
}  // namespace livrexa::host

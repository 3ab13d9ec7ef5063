#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "host/update_checker.h"
#include "host_test_support.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;

// A one-shot loopback HTTP server answering one request with `reply` after `delay`.
class TOneShotServer {
 public:
  TOneShotServer(std::string reply, std::chrono::milliseconds delay = std::chrono::milliseconds(0)) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listen(fd_, 4);
    thread_ = std::thread([this, reply, delay] {
      int client = accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      char buffer[2048];
      ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n > 0) request_.assign(buffer, size_t(n));
      std::this_thread::sleep_for(delay);
      (void)!send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      close(client);
    });
  }
  ~TOneShotServer() {
    shutdown(fd_, SHUT_RDWR);
    thread_.join();
    close(fd_);
  }
  std::string Address(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  const std::string& Request() const { return request_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::string request_;
};

std::string HttpReply(const std::string& status, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(UpdateManifest, VersionNumberIsReadFromItsSection) {
  struct Case {
    const char* text;
    int version;  // -1: no version
  } cases[] = {{"[LIVREXA]\r\nVersao=4\r\n", 4},
               {"[livrexa]\nversao = 12\n", 12},
               {"[OUTRO]\nVersao=9\n[LIVREXA]\nArquivo=x\nVersao=3\n", 3},
               {"[OUTRO]\nVersao=9\n", -1},
               {"[LIVREXA]\nVersao=quatro\n", -1},
               {"", -1},
               {"<html>not found</html>", -1}};
  for (const auto& c : cases) {
    if (c.version < 0)
      EXPECT_THROW(ManifestVersion(c.text), LivrexaError) << c.text;
    else
      EXPECT_EQ(ManifestVersion(c.text), c.version) << c.text;
  }
}

class UpdateCheckerTest : public ::testing::Test {
 protected:
  std::string Check(const std::string& address) {
    settings.SetUpdateStatus("OK");
    TUpdateChecker checker(settings, address, [&](const std::string& e) {
      std::lock_guard guard(lock);
      log.push_back(e);
    });
    checker.CheckUpdate();
    checker.WaitIdle();
    return settings.UpdateStatus();
  }
  TTempFolder folder{"update"};
  THostSettings settings;
  std::mutex lock;
  std::vector<std::string> log;
};

TEST_F(UpdateCheckerTest, LocalManifestOutcomes) {
  WriteFileBytes(folder.path() / "igual.ini", "[LIVREXA]\r\nVersao=3\r\n");
  WriteFileBytes(folder.path() / "antiga.ini", "[LIVREXA]\r\nVersao=2\r\n");
  WriteFileBytes(folder.path() / "nova.ini", "[LIVREXA]\r\nVersao=4\r\n");
  WriteFileBytes(folder.path() / "ruim.ini", "lixo");
  const std::string error =
      "Ocorreu um erro na atualização.\rCausas possíveis:\rNão existe conexão com a internet ou foi "
      "desconectado.";
  struct Case {
    std::string address, status;
  } cases[] = {
      {"file://" + folder.text() + "igual.ini", "Não existe atualização disponível no momento."},
      {"file://" + folder.text() + "antiga.ini", "Não existe atualização disponível no momento."},
      {"file://" + folder.text() + "falta.ini", error},
      {"file://" + folder.text() + "ruim.ini", error},
      {"ftp://exemplo/versao.ini", error},
      {"", error},
  };
  for (const auto& c : cases) EXPECT_EQ(Check(c.address), c.status) << c.address;
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Check("file://" + folder.text() + "nova.ini"), "OK") << "nothing is installed: the status stays";
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("4"), std::string::npos);
}

TEST_F(UpdateCheckerTest, LoopbackHttpManifest) {
  {
    TOneShotServer server(HttpReply("200 OK", "[LIVREXA]\r\nVersao=3\r\n"));
    EXPECT_EQ(Check(server.Address("/servidor/versao.ini")), "Não existe atualização disponível no momento.");
    EXPECT_EQ(server.Request().rfind("GET /servidor/versao.ini HTTP/1.0\r\n", 0), 0u);
  }
  {
    TOneShotServer server(HttpReply("404 Not Found", "[LIVREXA]\r\nVersao=3\r\n"));
    EXPECT_NE(Check(server.Address("/x")).find("Ocorreu um erro na atualização."), std::string::npos);
  }
  EXPECT_EQ(Check("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/versao.ini"),
            "Ocorreu um erro na atualização.\rCausas possíveis:\rNão existe conexão com a internet ou foi "
            "desconectado.");
}

TEST_F(UpdateCheckerTest, CheckReturnsBeforeTheOutcome) {
  TOneShotServer server(HttpReply("200 OK", "[LIVREXA]\r\nVersao=1\r\n"), std::chrono::milliseconds(500));
  settings.SetUpdateStatus("OK");
  TUpdateChecker checker(settings, server.Address("/v"), nullptr);
  auto start = std::chrono::steady_clock::now();
  checker.CheckUpdate();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(settings.UpdateStatus(), "OK");
  checker.WaitIdle();
  EXPECT_EQ(settings.UpdateStatus(), "Não existe atualização disponível no momento.");
}

}  // namespace
}  // namespace livrexa::host

#include "host/update_checker.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "host/ini_file.h"
#include "rest/wire/errors.h"
#include "rest/wire/wire_consts.h"

namespace livrexa::host {
namespace {

constexpr int kTimeoutMs = 10000;

class TSocket {
 public:
  explicit TSocket(int fd) : fd_(fd) {}
  ~TSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool WaitFor(int fd, short events) {
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, kTimeoutMs) == 1;
}

std::string HttpGet(const std::string& address) {
  // http://host[:port]/path
  std::string rest = address.substr(7);
  size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
  std::string host = authority, port = "80";
  if (size_t colon = authority.rfind(':'); colon != std::string::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
    throw LivrexaError("host não encontrado: " + host);
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, ::freeaddrinfo);
  TSocket sock(::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol));
  if (sock.fd() < 0 || ::connect(sock.fd(), found->ai_addr, found->ai_addrlen) != 0)
    throw LivrexaError("sem conexão com " + authority);
  std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + authority + "\r\nConnection: close\r\n\r\n";
  if (::send(sock.fd(), request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
    throw LivrexaError("falha ao enviar a consulta de versão");
  std::string reply;
  char buffer[4096];
  while (reply.size() < (1u << 20)) {
    if (!WaitFor(sock.fd(), POLLIN)) throw LivrexaError("tempo esgotado");
    ssize_t n = ::recv(sock.fd(), buffer, sizeof buffer, 0);
    if (n < 0) throw LivrexaError("falha na leitura");
    if (n == 0) break;
    reply.append(buffer, static_cast<size_t>(n));
  }
  size_t lineEnd = reply.find("\r\n");
  std::string status = reply.substr(0, lineEnd);
  if (status.find(" 200") == std::string::npos) throw LivrexaError("resposta " + status);
  size_t bodyStart = reply.find("\r\n\r\n");
  return bodyStart == std::string::npos ? "" : reply.substr(bodyStart + 4);
}

}  // namespace

std::string FetchManifest(const std::string& address) {
  if (address.rfind("file://", 0) == 0) {
    std::ifstream in(address.substr(7), std::ios::binary);
    if (!in) throw LivrexaError("manifesto não encontrado: " + address);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  if (address.rfind("http://", 0) == 0) return HttpGet(address);
  throw LivrexaError("endereço de manifesto não suportado: " + address);
}

int ManifestVersion(const std::string& manifestText) {
  std::istringstream lines(manifestText);
  bool inSection = false;
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string trimmed(Trim(line));
    if (!trimmed.empty() && trimmed.front() == '[') {
      inSection = SameText(trimmed, "[LIVREXA]");
      continue;
    }
    size_t eq = trimmed.find('=');
    if (!inSection || eq == std::string::npos) continue;
    if (!SameText(Trim(std::string_view(trimmed).substr(0, eq)), "Versao")) continue;
    if (auto version = ParseIniInteger(trimmed.substr(eq + 1))) return *version;
  }
  throw LivrexaError("manifesto sem versão");
}

TUpdateChecker::TUpdateChecker(THostSettings& settings, std::string manifestAddress, TLog log,
                               int currentVersion)
    : settings_(settings),
      address_(std::move(manifestAddress)),
      log_(std::move(log)),
      currentVersion_(currentVersion) {}

TUpdateChecker::~TUpdateChecker() {
  WaitIdle();
}

void TUpdateChecker::CheckUpdate() {
  std::lock_guard guard(lock_);
  if (running_) return;
  if (worker_.joinable()) worker_.join();
  running_ = true;
  worker_ = std::thread([this] { Run(); });
}

void TUpdateChecker::WaitIdle() {
  std::thread finished;
  {
    std::lock_guard guard(lock_);
    finished = std::move(worker_);
  }
  if (finished.joinable()) finished.join();
}

void TUpdateChecker::Run() {
  try {
    int published = ManifestVersion(FetchManifest(address_));
    if (published <= currentVersion_)
      OnNoUpdateAvailable();
    else if (log_)
      log_("Nova versão do servidor disponível: " + std::to_string(published) + " (" + address_ + ")");
  } catch (const std::exception&) {
    OnHostUnreachable();
  }
  std::lock_guard guard(lock_);
  running_ = false;
}

void TUpdateChecker::OnNoUpdateAvailable() {
  settings_.SetUpdateStatus(kStatusSemAtualizacao);
}

void TUpdateChecker::OnHostUnreachable() {
  settings_.SetUpdateStatus(kStatusErroAtualizacao);
}

}  // namespace livrexa::host

#include "support/firebird_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace livrexa::test {
namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command line; returns its exit status and what it printed.
int Shell(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The environment prefix of a command that uses the Firebird folder `folder`.
std::string FirebirdEnvironment(const fs::path& folder) {
  return "FIREBIRD=" + Quoted(folder.string()) + " FIREBIRD_LOCK=" + Quoted((folder / "lock").string()) +
         " FIREBIRD_TMP=" + Quoted((folder / "tmp").string()) + " ";
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return connected;
}

// Debian 13 puts shell wrappers in /usr/sbin and /usr/bin that point FIREBIRD at the
// installation; the private server and its isql must run as the real programs.
bool IsScript(const fs::path& program) {
  std::ifstream in(program, std::ios::binary);
  char head[2] = {};
  in.read(head, 2);
  return in.gcount() == 2 && head[0] == '#' && head[1] == '!';
}

// The first real program among the candidates (a wrapper only when there is nothing else).
fs::path RealProgram(const std::vector<fs::path>& candidates) {
  std::error_code ec;
  fs::path script;
  for (const fs::path& candidate : candidates) {
    if (!fs::is_regular_file(candidate, ec) || ::access(candidate.c_str(), X_OK) != 0) continue;
    if (!IsScript(candidate)) return candidate;
    if (script.empty()) script = candidate;
  }
  return script;
}

// The Firebird versions a distribution may have installed, newest first.
const std::vector<std::string>& Versions() {
  static const std::vector<std::string> versions{"4.0", "3.0"};
  return versions;
}

// The installation folder of the server's message file, plugins.conf, plugins/ and intl/.
fs::path InstallationFolder() {
  std::error_code ec;
  for (const std::string& version : Versions())
    for (const std::string& base : {"/usr/lib/x86_64-linux-gnu/firebird/", "/usr/lib/aarch64-linux-gnu/firebird/",
                                    "/usr/lib/firebird/"})
      if (fs::exists(fs::path(base + version) / "firebird.msg", ec)) return base + version;
  if (fs::exists("/opt/firebird/firebird.msg", ec)) return "/opt/firebird";
  return {};
}

fs::path SecuritySql() {
  for (const std::string& version : Versions())
    if (std::error_code ec; fs::exists("/usr/share/firebird/" + version + "/security.sql", ec))
      return "/usr/share/firebird/" + version + "/security.sql";
  if (std::error_code ec; fs::exists("/opt/firebird/misc/security.sql", ec)) return "/opt/firebird/misc/security.sql";
  return {};
}

fs::path SystemSecurityDatabase() {
  std::error_code ec;
  for (const std::string& version : Versions())
    for (const char* name : {"security4.fdb", "security3.fdb"}) {
      const fs::path path = "/var/lib/firebird/" + version + "/system/" + name;
      if (fs::exists(path, ec)) return path;
    }
  return {};
}

// isql as a real program (see IsScript).
std::string IsqlProgram() {
  std::vector<fs::path> candidates;
  for (const std::string& version : Versions()) candidates.push_back("/usr/lib/firebird/" + version + "/bin/isql-fb");
  candidates.push_back("/usr/bin/isql-fb");
  const fs::path found = RealProgram(candidates);
  return found.empty() ? std::string("isql-fb") : Quoted(found.string());
}

}  // namespace

fs::path TFirebirdServer::Program() {
  if (const char* set = std::getenv("LIVREXA_FIREBIRD_SERVER"); set && *set) return RealProgram({set});
  std::vector<fs::path> candidates;
  for (const std::string& version : Versions()) candidates.push_back("/usr/lib/firebird/" + version + "/bin/firebird");
  candidates.push_back("/usr/sbin/firebird");
  const fs::path found = RealProgram(candidates);
  return found.empty() || IsScript(found) ? fs::path() : found;
}

std::string TFirebirdServer::SkipReason() {
  if (!Program().empty()) return "";
  return "no Firebird server program (/usr/sbin/firebird of Debian 12's firebird3.0-server, "
         "/usr/lib/firebird/4.0/bin/firebird of Debian 13's firebird4.0-server, or LIVREXA_FIREBIRD_SERVER): "
         "the tests of the server mode do not run";
}

TFirebirdServer::TFirebirdServer() {
  try {
    Start();
  } catch (...) {
    Stop();
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
    throw;
  }
}

void TFirebirdServer::Start() {
  const fs::path program = Program();
  if (program.empty()) throw std::runtime_error(SkipReason());
  const fs::path installation = InstallationFolder();
  if (installation.empty()) throw std::runtime_error("no Firebird installation folder with firebird.msg");

  // Database files are written synchronously; in memory that costs nothing.
  std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : fs::temp_directory_path().string();
  std::string pattern = base + "/livrexa-fbserver-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
  root_ = pattern;
  folder_ = root_ / "server";
  data_ = root_ / "data";
  client_ = root_ / "client";
  for (const fs::path& f : {folder_ / "lock", folder_ / "tmp", data_, client_ / "lock", client_ / "tmp"})
    fs::create_directories(f);
  // Real copies: the server finds its messages, plugin list and character sets in FIREBIRD.
  fs::copy_file(installation / "firebird.msg", folder_ / "firebird.msg");
  fs::copy_file(installation / "plugins.conf", folder_ / "plugins.conf");
  fs::copy(installation / "intl", folder_ / "intl", fs::copy_options::recursive);
  // Firebird 4 loads its engine and authentication plugins from $FIREBIRD/plugins.
  if (std::error_code ec; fs::is_directory(installation / "plugins", ec))
    fs::copy(installation / "plugins", folder_ / "plugins", fs::copy_options::recursive);

  port_ = FreeLoopbackPort();
  const fs::path security = folder_ / "security3.fdb";
  WriteText(folder_ / "firebird.conf",
            "ServerMode = Super\n"
            "RemoteServicePort = " +
                std::to_string(port_) +
                "\n"
                "RemoteBindAddress = 127.0.0.1\n"
                "SecurityDatabase = " +
                security.string() +
                "\n"
                "AuthServer = Srp256, Srp\n"
                "UserManager = Srp\n"
                "WireCrypt = Enabled\n");
  WriteText(client_ / "firebird.conf", "Providers = Remote\n");

  // The security database, by embedded isql in the server's own folder: never the system's.
  std::string output;
  const fs::path securitySql = SecuritySql();
  if (!securitySql.empty()) {
    WriteText(folder_ / "security.sql",
              "create database '" + security.string() +
                  "' user SYSDBA;\n"
                  "input '" +
                  securitySql.string() +
                  "';\n"
                  "commit;\n"
                  "create or alter user SYSDBA password 'brickwall' using plugin Srp;\n"
                  "commit;\n");
  } else {
    // No script: a copy of the installation's security database, changed only in the copy.
    fs::copy_file(SystemSecurityDatabase(), security);
    WriteText(folder_ / "security.sql",
              "connect '" + security.string() +
                  "' user SYSDBA;\n"
                  "create or alter user SYSDBA password 'brickwall' using plugin Srp;\n"
                  "commit;\n");
  }
  if (Shell(FirebirdEnvironment(folder_) + IsqlProgram() + " -q -b -i " + Quoted((folder_ / "security.sql").string()),
            output) != 0)
    throw std::runtime_error("the private security database was not made: " + output);

  // Everything the child needs is made before the fork: the test program has threads.
  std::vector<std::string> variables{
      "FIREBIRD=" + folder_.string(), "FIREBIRD_LOCK=" + (folder_ / "lock").string(),
      "FIREBIRD_TMP=" + (folder_ / "tmp").string(), "PATH=/usr/sbin:/usr/bin:/bin"};
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string programText = program.string();
  char* argv[] = {programText.data(), nullptr};
  const std::string logPath = (root_ / "server.out").string();
  pid_ = ::fork();
  if (pid_ == 0) {
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    ::dup2(log, 1);
    ::dup2(log, 2);
    ::execve(argv[0], argv, envp.data());
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!Accepts(port_)) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("the Firebird server ended at start: " + ReadText(root_ / "server.out") +
                               ReadText(folder_ / "firebird.log"));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Stop();
      throw std::runtime_error("the Firebird server does not listen on port " + std::to_string(port_));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TFirebirdServer::~TFirebirdServer() {
  Stop();
  std::error_code ec;
  if (!root_.empty()) fs::remove_all(root_, ec);
}

void TFirebirdServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
}

std::string TFirebirdServer::Name(const fs::path& database) const {
  return "127.0.0.1/" + std::to_string(port_) + ":" + database.string();
}

int TFirebirdServer::Isql(const std::string& script, std::string& output, const std::string& database) const {
  const fs::path file = root_ / "client" / "script.sql";
  WriteText(file, script);
  std::string command = FirebirdEnvironment(client_) + IsqlProgram() + " -q -b -user SYSDBA -password brickwall ";
  if (!database.empty()) command += Quoted(database) + " ";
  return Shell(command + "-i " + Quoted(file.string()), output);
}

}  // namespace livrexa::test

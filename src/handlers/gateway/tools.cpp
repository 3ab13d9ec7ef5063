#include "handlers/gateway/tools.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "handlers/gateway/connection.h"

extern char** environ;

namespace livrexa {

namespace fs = std::filesystem;

namespace {

// Debian's Firebird 4 puts shell wrappers in PATH and in the installation's bin folder that set
// FIREBIRD to the installation before running the real program, so a child started through one
// would ignore the server's Firebird folder (its locks and its SuperClassic mode) and could not
// open the database the server holds. Such scripts are taken only when no real program is found.
bool IsScript(const fs::path& program) {
  std::ifstream in(program, std::ios::binary);
  char head[2] = {};
  in.read(head, 2);
  return in.gcount() == 2 && head[0] == '#' && head[1] == '!';
}

}  // namespace

fs::path FindFirebirdTool(const std::vector<std::string>& names) {
  std::vector<fs::path> folders;
  if (const char* bin = std::getenv("LIVREXA_FIREBIRD_BIN"); bin && *bin) folders.emplace_back(bin);
  if (const fs::path installation = TFbEnvironment::InstallationFolder(); !installation.empty()) {
    folders.push_back(installation / "bin");
    // Debian 13 keeps the real programs of version N in /usr/lib/firebird/N/bin.
    folders.push_back(fs::path("/usr/lib/firebird") / installation.filename() / "bin");
  }
  if (const char* path = std::getenv("PATH")) {
    std::istringstream parts(path);
    for (std::string part; std::getline(parts, part, ':');)
      if (!part.empty()) folders.emplace_back(part);
  }
  std::error_code ec;
  fs::path script;
  for (const fs::path& folder : folders)
    for (const std::string& name : names) {
      const fs::path candidate = folder / name;
      if (!fs::is_regular_file(candidate, ec) || ::access(candidate.c_str(), X_OK) != 0) continue;
      if (!IsScript(candidate)) return candidate;
      if (script.empty()) script = candidate;
    }
  return script;
}

TToolRun RunFirebirdTool(const fs::path& program, const std::vector<std::string>& args) {
  TFbEnvironment::Instance().Activate();
  TToolRun run;

  // The environment: ours, with the Firebird variables replaced.
  std::map<std::string, std::string> variables;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) variables[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : TFbEnvironment::Instance().ToolEnvironment()) variables[name] = value;
  std::vector<std::string> envStrings;
  for (const auto& [name, value] : variables) envStrings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings{program.string()};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    run.Output = std::strerror(errno);
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    run.Output = std::strerror(spawned);
    return run;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof(buffer));
    if (n > 0)
      run.Output.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace livrexa

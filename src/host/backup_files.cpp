#include "host/backup_files.h"

#include <unistd.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "host/config_file.h"

namespace livrexa::host {

std::string BackupFileName(const std::string& folder, const TLocalTime& date) {
  char name[40];
  std::snprintf(name, sizeof name, "BackupLX-%04d-%02d-%02d.FBK", date.year, date.month, date.day);
  return folder + "/" + name;
}

std::string OldDatabasePath(const std::filesystem::path& home) {
  return HomeText(home) + "Livrexa.old";
}

std::string GbakProgram(const std::filesystem::path& home) {
  std::filesystem::path bundled = home / "Firebird4" / "gbak";
  std::error_code ec;
  if (std::filesystem::is_regular_file(bundled, ec) && ::access(bundled.c_str(), X_OK) == 0)
    return bundled.string();
  return "gbak";
}

std::vector<std::string> GbakBackupArgs(const std::string& database, const std::string& backupFile) {
  return {"-user", kGbakUser, "-pas", kGbakPassword, database, backupFile};
}

std::vector<std::string> GbakRestoreArgs(const std::string& backupFile, const std::string& database) {
  return {"-user", kGbakUser, "-pas", kGbakPassword, "-r", "-p", "4096", "-o", backupFile, database};
}

std::vector<std::string> GbakVerifyArgs(const std::string& backupFile, const std::string& database) {
  return {"-user", kGbakUser, "-pas", kGbakPassword, "-c", backupFile, database};
}

std::string RestoreTempPath(const std::string& database) {
  std::filesystem::path path(database);
  std::string name = "." + path.filename().string() + ".restauro-" + std::to_string(::getpid());
  return (path.parent_path() / name).string();
}

std::vector<std::string> LastLines(const std::string& output, size_t count) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    size_t end = line.find_last_not_of(" \t\r");
    if (end == std::string::npos) continue;
    lines.push_back(line.substr(0, end + 1));
  }
  if (lines.size() > count) lines.erase(lines.begin(), lines.end() - std::ptrdiff_t(count));
  return lines;
}

std::vector<std::string> GbakFailureLines(int exitStatus, const std::string& errorOutput) {
  std::vector<std::string> lines = LastLines(errorOutput, kGbakMessageLines);
  if (!lines.empty()) return lines;
  if (exitStatus < 0) return {"O gbak foi interrompido antes de terminar."};
  return {"O gbak terminou com o código " + std::to_string(exitStatus) + "."};
}

std::string BackupVersionMessage(const std::string& gbakOutput) {
  static const std::regex refusal(R"(Expected backup version (\d+)\.\.(\d+)\.?\s*Found (\d+))");
  std::smatch m;
  if (!std::regex_search(gbakOutput, m, refusal)) return {};
  return "Este backup foi feito por um Firebird mais novo que o desta máquina: ele está na versão de backup " +
         m[3].str() + ", e o gbak instalado aqui lê só até a versão " + m[2].str() +
         ". Restaure-o numa máquina com um Firebird igual ou mais novo que o que o fez; um backup do "
         "Firebird 4 (como o backup diário do servidor Windows) precisa do Firebird 4, isto é, do Debian 13 "
         "com o pacote firebird4.0.";
}

}  // namespace livrexa::host

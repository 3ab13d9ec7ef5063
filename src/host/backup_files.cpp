#include "host/backup_files.h"

#include <unistd.h>

#include <cstdio>

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

}  // namespace livrexa::host

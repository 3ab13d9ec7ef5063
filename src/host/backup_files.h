#pragma once
// Names and command lines of the daily backup and of the restore.

#include <filesystem>
#include <string>
#include <vector>

#include "host/host_clock.h"

namespace livrexa::host {

inline constexpr const char* kGbakUser = "SYSDBA";
inline constexpr const char* kGbakPassword = "brickwall";

// folder + "/BackupLX-YYYY-MM-DD.FBK" for the given local date.
std::string BackupFileName(const std::string& folder, const TLocalTime& date);

// home + "Livrexa.old": the copy of the database that a restore moves aside.
std::string OldDatabasePath(const std::filesystem::path& home);

// The home's "Firebird4/gbak" when it is an executable file, otherwise "gbak" from PATH.
std::string GbakProgram(const std::filesystem::path& home);

std::vector<std::string> GbakBackupArgs(const std::string& database, const std::string& backupFile);
std::vector<std::string> GbakRestoreArgs(const std::string& backupFile, const std::string& database);

}  // namespace livrexa::host

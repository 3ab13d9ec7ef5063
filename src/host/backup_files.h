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
// The check of a new backup: creates a new database from it (never over an existing file).
std::vector<std::string> GbakVerifyArgs(const std::string& backupFile, const std::string& database);

// The file a restore writes before it replaces the database: beside the database (same folder,
// so the final move is a rename), hidden, named after the database and this process.
std::string RestoreTempPath(const std::string& database);

// How many of gbak's last lines of standard error a failure report carries.
inline constexpr size_t kGbakMessageLines = 5;

// The last `count` non-blank lines of a program's output, without line ends or trailing blanks.
std::vector<std::string> LastLines(const std::string& output, size_t count);

// What a failed gbak run said: its last lines of standard error; when it wrote none, its exit
// status in words.
std::vector<std::string> GbakFailureLines(int exitStatus, const std::string& errorOutput);
// When gbak refused a backup made by a newer Firebird than its own ("Expected backup version
// 1..10. Found 11"), what that means and where it can be restored; otherwise empty.
std::string BackupVersionMessage(const std::string& gbakOutput);

}  // namespace livrexa::host

#pragma once
// The check of a new daily backup: the backup restored into a temporary file must hold the same
// tables with the same numbers of rows as the live database; and the removal of old daily
// backups once a backup has passed it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace livrexa::host {

struct TTableRows {
  std::string table;
  int64_t rows = 0;
  bool operator==(const TTableRows&) const = default;
};
// Every table of a database with its number of rows, in order of name.
using TRowCounts = std::vector<TTableRows>;

// Compares the restored backup with the live database as counted just before gbak started
// (`before`; absent when that count failed) and just after it ended (`after`). Requests are
// served during the backup, so a table that changed in between may hold in the backup any number
// of rows from the smaller count to the larger one. Empty when the backup holds what it should,
// otherwise the first difference in words.
std::string CompareRowCounts(const std::optional<TRowCounts>& before, const TRowCounts& after,
                             const TRowCounts& restored);

// "Backup verificado: N tabelas, M registros" for the restored backup.
std::string BackupVerifiedText(const TRowCounts& restored);
inline constexpr const char* kBackupNotVerified = "*** Erro na verificação do backup: ";

// Where the check restores `backupFile`: a hidden file named after it in `folder` (the backup's
// own folder when empty).
std::string VerificationPath(const std::string& folder, const std::string& backupFile);

// Whether a file name is that of a daily backup: "BackupLX-YYYY-MM-DD.FBK", digits where the
// pattern has letters, nothing before or after.
bool IsDailyBackupName(const std::string& fileName);

// The daily backups of `folder` beyond the newest `keep` (by the date in their names), oldest
// last; never the file named as `keepAlways` (the backup just made). Only regular files whose names are daily
// backup names; nothing when `keep` is 0 or less.
std::vector<std::filesystem::path> DailyBackupsBeyond(const std::filesystem::path& folder, int keep,
                                                      const std::filesystem::path& keepAlways);

}  // namespace livrexa::host

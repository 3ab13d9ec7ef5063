#include "host/backup_check.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace livrexa::host {
namespace fs = std::filesystem;

namespace {

std::map<std::string, int64_t> ByTable(const TRowCounts& counts) {
  std::map<std::string, int64_t> rows;
  for (const TTableRows& t : counts) rows[t.table] = t.rows;
  return rows;
}

std::string Rows(int64_t n) {
  return std::to_string(n) + (n == 1 ? " registro" : " registros");
}

}  // namespace

std::string CompareRowCounts(const std::optional<TRowCounts>& before, const TRowCounts& after,
                             const TRowCounts& restored) {
  const std::map<std::string, int64_t> last = ByTable(after);
  const std::map<std::string, int64_t> first = before ? ByTable(*before) : last;
  const std::map<std::string, int64_t> backup = ByTable(restored);
  if (last.empty()) return "o banco de dados não tem tabelas.";

  for (const auto& [table, rows] : last) {
    const auto found = backup.find(table);
    if (found == backup.end()) return "a tabela " + table + " não está no backup restaurado.";
    const auto earlier = first.find(table);
    const int64_t low = earlier == first.end() ? rows : std::min(rows, earlier->second);
    const int64_t high = earlier == first.end() ? rows : std::max(rows, earlier->second);
    if (found->second >= low && found->second <= high) continue;
    std::string live = low == high ? Rows(low) : "de " + std::to_string(low) + " a " + Rows(high);
    return "a tabela " + table + " tem " + Rows(found->second) + " no backup restaurado e " + live +
           " no banco de dados.";
  }
  for (const auto& [table, rows] : backup)
    if (!last.count(table))
      return "a tabela " + table + " do backup restaurado não existe no banco de dados.";
  return "";
}

std::string BackupVerifiedText(const TRowCounts& restored) {
  int64_t total = 0;
  for (const TTableRows& t : restored) total += t.rows;
  return "Backup verificado: " + std::to_string(restored.size()) + " tabelas, " + std::to_string(total) +
         " registros";
}

std::string VerificationPath(const std::string& folder, const std::string& backupFile) {
  const fs::path backup(backupFile);
  const fs::path where = folder.empty() ? backup.parent_path() : fs::path(folder);
  return (where / ("." + backup.stem().string() + ".verificacao.FDB")).string();
}

bool IsDailyBackupName(const std::string& name) {
  static const std::string pattern = "BackupLX-YYYY-MM-DD.FBK";
  if (name.size() != pattern.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char p = pattern[i];
    const bool digit = p == 'Y' || p == 'M' || p == 'D';
    if (digit ? !std::isdigit(static_cast<unsigned char>(name[i])) : name[i] != p) return false;
  }
  return true;
}

std::vector<fs::path> DailyBackupsBeyond(const fs::path& folder, int keep, const fs::path& keepAlways) {
  if (keep <= 0) return {};
  std::vector<fs::path> daily;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!fs::is_regular_file(entry.symlink_status(ec))) continue;
    if (IsDailyBackupName(entry.path().filename().string())) daily.push_back(entry.path());
  }
  // The date is written year first with fixed widths: the names sort as the dates do.
  std::sort(daily.begin(), daily.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename() > b.filename(); });
  std::vector<fs::path> beyond;
  for (size_t i = static_cast<size_t>(keep); i < daily.size(); ++i)
    if (daily[i].filename() != keepAlways.filename()) beyond.push_back(daily[i]);
  return beyond;
}

}  // namespace livrexa::host

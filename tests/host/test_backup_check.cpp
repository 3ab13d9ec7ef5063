// The comparison of a restored backup with the live database, and which files count as daily
// backups that the retention may delete.

#include <gtest/gtest.h>

#include "host/backup_check.h"
#include "host_test_support.h"

namespace livrexa::host {
namespace {
using namespace livrexa::test;
namespace fs = std::filesystem;

TEST(BackupCheck, RestoredRowsMustLieBetweenTheCountsBeforeAndAfterTheBackup) {
  const TRowCounts live{{"T05_AUTOR1", 10}, {"T09_ACERVO", 100}};
  struct TCase {
    const char* what;
    std::optional<TRowCounts> before;
    TRowCounts restored;
    std::string failure;  // "" when the backup passes
  };
  const TCase cases[] = {
      {"the same rows", live, live, ""},
      {"no count before: the one after must match", std::nullopt, live, ""},
      {"a table grew during the backup; the backup holds a count in between",
       TRowCounts{{"T05_AUTOR1", 10}, {"T09_ACERVO", 90}},
       {{"T05_AUTOR1", 10}, {"T09_ACERVO", 95}},
       ""},
      {"a table shrank during the backup",
       TRowCounts{{"T05_AUTOR1", 12}, {"T09_ACERVO", 100}},
       {{"T05_AUTOR1", 12}, {"T09_ACERVO", 100}},
       ""},
      {"rows lost",
       live,
       {{"T05_AUTOR1", 10}, {"T09_ACERVO", 0}},
       "a tabela T09_ACERVO tem 0 registros no backup restaurado e 100 registros no banco de dados."},
      {"more rows than the database ever had",
       TRowCounts{{"T05_AUTOR1", 8}, {"T09_ACERVO", 100}},
       {{"T05_AUTOR1", 11}, {"T09_ACERVO", 100}},
       "a tabela T05_AUTOR1 tem 11 registros no backup restaurado e de 8 a 10 registros no banco de dados."},
      {"one row",
       live,
       {{"T05_AUTOR1", 1}, {"T09_ACERVO", 100}},
       "a tabela T05_AUTOR1 tem 1 registro no backup restaurado e 10 registros no banco de dados."},
      {"a table missing", live, {{"T09_ACERVO", 100}}, "a tabela T05_AUTOR1 não está no backup restaurado."},
      {"a table the database does not have",
       live,
       {{"T05_AUTOR1", 10}, {"T09_ACERVO", 100}, {"TX", 0}},
       "a tabela TX do backup restaurado não existe no banco de dados."},
  };
  for (const TCase& c : cases) EXPECT_EQ(CompareRowCounts(c.before, live, c.restored), c.failure) << c.what;
  EXPECT_EQ(CompareRowCounts(std::nullopt, {}, {}), "o banco de dados não tem tabelas.");
  EXPECT_EQ(BackupVerifiedText(live), "Backup verificado: 2 tabelas, 110 registros");
}

TEST(BackupCheck, OnlyDailyBackupNamesAreDailyBackups) {
  for (const char* name : {"BackupLX-2024-05-31.FBK", "BackupLX-0000-00-00.FBK"})
    EXPECT_TRUE(IsDailyBackupName(name)) << name;
  for (const char* name :
       {"BackupLX-2024-05-31.fbk", "backuplx-2024-05-31.FBK", "BackupLX-2024-5-31.FBK",
        "BackupLX-2024-05-31.FBK.old", "xBackupLX-2024-05-31.FBK", "BackupLX-2024-05-3a.FBK",
        "BackupLX-2024_05-31.FBK", ".BackupLX-2024-05-31.verificacao.FDB", "Livrexa.FBK", ""})
    EXPECT_FALSE(IsDailyBackupName(name)) << name;
}

TEST(BackupCheck, RetentionPicksTheOldestDailyFilesAndNothingElse) {
  TTempFolder folder{"retention"};
  for (const char* name : {"BackupLX-2024-05-29.FBK", "BackupLX-2023-12-31.FBK", "BackupLX-2024-05-31.FBK",
                           "BackupLX-2024-01-15.FBK", "BackupLX-2024-05-30.FBK", "Livrexa.FBK",
                           "BackupLX-2020-01-01.fbk", "BackupLX-2020-01-01.FBK.copia"})
    WriteFileBytes(folder.path() / name, "x");
  fs::create_directories(folder.path() / "BackupLX-2019-01-01.FBK");  // a folder of that name stays
  fs::create_symlink(folder.path() / "Livrexa.FBK", folder.path() / "BackupLX-2018-01-01.FBK");
  const fs::path newest = folder.path() / "BackupLX-2024-05-31.FBK";

  auto names = [](const std::vector<fs::path>& paths) {
    std::vector<std::string> out;
    for (const fs::path& p : paths) out.push_back(p.filename().string());
    return out;
  };
  EXPECT_EQ(names(DailyBackupsBeyond(folder.path(), 3, newest)),
            (std::vector<std::string>{"BackupLX-2024-01-15.FBK", "BackupLX-2023-12-31.FBK"}));
  EXPECT_TRUE(DailyBackupsBeyond(folder.path(), 0, newest).empty()) << "0 keeps every backup";
  EXPECT_TRUE(DailyBackupsBeyond(folder.path(), 5, newest).empty());
  // The backup just made stays even when its date is not the newest (a clock put back).
  EXPECT_EQ(names(DailyBackupsBeyond(folder.path(), 1, folder.path() / "BackupLX-2023-12-31.FBK")),
            (std::vector<std::string>{"BackupLX-2024-05-30.FBK", "BackupLX-2024-05-29.FBK",
                                      "BackupLX-2024-01-15.FBK"}));
  EXPECT_TRUE(DailyBackupsBeyond(folder.path() / "nao-existe", 1, newest).empty());
}

}  // namespace
}  // namespace livrexa::host

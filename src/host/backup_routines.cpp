#include "host/backup_routines.h"

#include <exception>

#include "host/backup_files.h"
#include "rest/wire_consts.h"

namespace livrexa::host {
namespace fs = std::filesystem;

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec);
}

// Moves like the desktop's move: fails silently, and works across file systems for a file.
void MoveFileQuietly(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (fs::exists(to, ec)) return;
  fs::rename(from, to, ec);
  if (!ec) return;
  if (fs::copy_file(from, to, fs::copy_options::none, ec)) {
    fs::remove(from, ec);
    if (ec) fs::remove(to, ec);
  }
}

}  // namespace

TBackupRoutines::TBackupRoutines(fs::path home, THostThread& thread, const TClock& clock, TLog log,
                                 TBackupTools tools)
    : home_(std::move(home)),
      thread_(thread),
      clock_(clock),
      log_(std::move(log)),
      tools_(std::move(tools)) {}

void TBackupRoutines::LogFailure(const std::string& head, const std::string& message,
                                 const std::string& tail) {
  log_(head + DateTimeText(clock_.Now()));
  log_(message);
  log_(tail);
}

void TBackupRoutines::GeraBackup(const std::string& database, const std::string& file1,
                                 const std::string& file2, TDone done) {
  try {
    children_.Start(tools_.gbakProgram, GbakBackupArgs(database, file1), tools_.gbakEnvironment,
                    tools_.backupMinimumWait, [this, file1, file2, done](int) {
                      thread_.Post([this, file1, file2, done] {
                        FinishBackup(file1, file2);
                        if (done) done();
                      });
                    });
  } catch (const std::exception& e) {
    LogFailure("Erro no backup - ", e.what(), "*** Erro no Backup ***");
    if (done) done();
  }
}

void TBackupRoutines::FinishBackup(const std::string& file1, const std::string& file2) {
  try {
    if (FileExists(file1))
      log_("*** Backup 1 Concluído para  " + file1);
    else
      log_("*** Backup não foi gerado em " + file1);
    if (!Trim(file2).empty()) {
      std::error_code ec;
      bool copied = FileExists(file1) && fs::copy_file(file1, file2, fs::copy_options::none, ec) && !ec;
      if (copied)
        log_("*** Backup 2 Concluído para " + file2);
      else
        log_("*** Erro ao copiar o backup para 2ª pasta: " + file2);
    }
  } catch (const std::exception& e) {
    LogFailure("Erro no backup - ", e.what(), "*** Erro no Backup ***");
  }
}

void TBackupRoutines::RestauraBackup(const std::string& database, const std::string& backupFile, TDone done) {
  try {
    std::string old = OldDatabasePath(home_);
    std::error_code ec;
    if (FileExists(old)) fs::remove(old, ec);
    if (!FileExists(old)) log_("Arquivo Livrexa.old excluído com sucesso.");

    // Pooled connections keep the file open; they must go before the file does.
    if (tools_.emptyConnectionPool) tools_.emptyConnectionPool();
    MoveFileQuietly(database, old);
    if (!FileExists(database)) log_("Arquivo " + database + " renomeado com sucesso.");

    // gbak never overwrites: a database still in place (the move failed) is not a restored one.
    bool movedAside = !FileExists(database);
    children_.Start(tools_.gbakProgram, GbakRestoreArgs(backupFile, database), tools_.gbakEnvironment,
                    std::chrono::milliseconds(0), [this, database, backupFile, movedAside, done](int) {
                      thread_.Post([this, database, backupFile, movedAside, done] {
                        if (movedAside) FinishRestore(database, backupFile);
                        if (done) done();
                      });
                    });
  } catch (const std::exception& e) {
    LogFailure("Erro no restore - ", e.what(), "*** Erro no restore ***");
    if (done) done();
  }
}

void TBackupRoutines::FinishRestore(const std::string& database, const std::string& backupFile) {
  if (FileExists(database)) log_("Arquivo " + backupFile + " restaurado com sucesso.");
}

}  // namespace livrexa::host

#include "host/backup_routines.h"

#include <exception>

#include "host/backup_files.h"
#include "rest/wire/errors.h"
#include "rest/wire/wire_consts.h"

namespace livrexa::host {
namespace fs = std::filesystem;

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec);
}

bool RegularFileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  if (RegularFileExists(path)) fs::remove(path, ec);
}

// Moves a file, also to another file system; never over an existing file. Empty on success,
// else the reason.
std::string MoveFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (fs::exists(to, ec)) return to + " já existe";
  fs::rename(from, to, ec);
  if (!ec) return "";
  std::string reason = ec.message();
  if (fs::copy_file(from, to, fs::copy_options::none, ec)) {
    fs::remove(from, ec);
    if (!ec) return "";
    reason = ec.message();
    fs::remove(to, ec);
  }
  return reason;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += (text.empty() ? "" : "\r") + line;
  return text;
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
  size_t start = 0;
  for (;;) {
    size_t cr = message.find('\r', start);
    log_(message.substr(start, cr - start));
    if (cr == std::string::npos) break;
    start = cr + 1;
  }
  log_(tail);
}

struct TBackupRoutines::TBackupRun {
  std::string database, file1, file2;
  int diasBackup = 0;
  TDone done;
  std::optional<TRowCounts> before;  // the live database just before gbak started
  bool made = false;                 // gbak wrote file 1
  bool copied = false;               // file 2 is a copy of it
};

void TBackupRoutines::MakeBackup(const std::string& database, const std::string& file1,
                                 const std::string& file2, int diasBackup, TDone done) {
  auto run = std::make_shared<TBackupRun>();
  run->database = database;
  run->file1 = file1;
  run->file2 = file2;
  run->diasBackup = diasBackup;
  run->done = std::move(done);
  try {
    if (tools_.useDatabase) tools_.useDatabase(database);
  } catch (const std::exception& e) {
    LogFailure("Erro no backup - ", e.what(), "*** Erro no Backup ***");
    return EndBackup(*run);
  }
  if (!tools_.countRows) return StartBackup(run);
  // The rows before the backup: a table that changes while gbak runs may differ from the count
  // after it (see CompareRowCounts).
  background_.Run([this, run] {
    try {
      run->before = tools_.countRows(run->database);
    } catch (const std::exception&) {
      // The count after gbak then stands alone; if the database cannot be read, that one fails too.
    }
    thread_.Post([this, run] { StartBackup(run); });
  });
}

void TBackupRoutines::StartBackup(std::shared_ptr<TBackupRun> run) {
  try {
    children_.Start(tools_.gbakProgram, GbakBackupArgs(run->database, run->file1), tools_.gbakEnvironment,
                    tools_.backupMinimumWait, [this, run](int exitStatus, const std::string& errorOutput) {
                      thread_.Post([this, run, exitStatus, errorOutput] {
                        FinishBackup(*run, exitStatus, errorOutput);
                        if (run->made && tools_.countRows)
                          VerifyBackup(run);
                        else
                          EndBackup(*run);
                      });
                    });
  } catch (const std::exception& e) {
    LogFailure("Erro no backup - ", e.what(), "*** Erro no Backup ***");
    EndBackup(*run);
  }
}

void TBackupRoutines::EndBackup(TBackupRun& run) {
  if (run.done) run.done();
}

void TBackupRoutines::FinishBackup(TBackupRun& run, int exitStatus, const std::string& errorOutput) {
  const std::string& file1 = run.file1;
  const std::string& file2 = run.file2;
  try {
    // A gbak that failed half-way may leave part of a backup: that is not the day's backup.
    if (exitStatus != 0) RemoveFile(file1);
    if (FileExists(file1)) {
      run.made = true;
      log_("*** Backup 1 Concluído para  " + file1);
    } else {
      log_("*** Backup não foi gerado em " + file1);
      for (const auto& line : GbakFailureLines(exitStatus, errorOutput)) log_(line);
    }
    if (!Trim(file2).empty()) {
      std::error_code ec;
      bool copied = FileExists(file1) && fs::copy_file(file1, file2, fs::copy_options::none, ec) && !ec;
      if (copied)
        log_("*** Backup 2 Concluído para " + file2);
      else
        log_("*** Erro ao copiar o backup para 2ª pasta: " + file2);
      run.copied = copied;
    }
  } catch (const std::exception& e) {
    LogFailure("Erro no backup - ", e.what(), "*** Erro no Backup ***");
  }
}

void TBackupRoutines::VerifyBackup(std::shared_ptr<TBackupRun> run) {
  const std::string temp = VerificationPath(tools_.verificationFolder, run->file1);
  try {
    RemoveFile(temp);  // left by a check that was cut off
    children_.Start(
        tools_.gbakProgram, GbakVerifyArgs(run->file1, temp), tools_.gbakEnvironment,
        std::chrono::milliseconds(0), [this, run, temp](int exitStatus, const std::string& errorOutput) {
          // On the waiter thread: the counts may take a while on a large database.
          std::string failure;
          TRowCounts restored, after;
          if (exitStatus != 0) {
            failure =
                "o gbak não restaurou o backup: " + JoinLines(GbakFailureLines(exitStatus, errorOutput));
          } else {
            try {
              restored = tools_.countRows(temp);
            } catch (const std::exception& e) {
              failure = std::string("o backup restaurado não abre: ") + e.what();
            }
          }
          RemoveFile(temp);
          if (failure.empty()) {
            try {
              after = tools_.countRows(run->database);
            } catch (const std::exception& e) {
              failure = std::string("não foi possível contar os registros do banco de dados: ") + e.what();
            }
          }
          thread_.Post([this, run, failure, after, restored] {
            CheckBackup(*run, failure, after, restored);
            EndBackup(*run);
          });
        });
  } catch (const std::exception& e) {
    RemoveFile(temp);
    log_(kBackupNotVerified + std::string(e.what()));
    EndBackup(*run);
  }
}

void TBackupRoutines::CheckBackup(TBackupRun& run, const std::string& failure, const TRowCounts& after,
                                  const TRowCounts& restored) {
  std::string difference = failure.empty() ? CompareRowCounts(run.before, after, restored) : failure;
  if (!difference.empty()) {
    // One entry; lines of gbak's or the engine's text joined on it.
    for (char& c : difference)
      if (c == '\r' || c == '\n') c = ' ';
    log_(kBackupNotVerified + difference);
    return;
  }
  log_(BackupVerifiedText(restored));
  if (run.diasBackup <= 0) return;
  DeleteOldBackups(fs::path(run.file1).parent_path().string(), run.diasBackup, run.file1);
  if (run.copied) DeleteOldBackups(fs::path(run.file2).parent_path().string(), run.diasBackup, run.file2);
}

void TBackupRoutines::DeleteOldBackups(const std::string& folder, int keep, const std::string& newest) {
  for (const fs::path& old : DailyBackupsBeyond(folder, keep, newest)) {
    std::error_code ec;
    if (fs::remove(old, ec) && !ec)
      log_("Backup antigo excluído: " + old.string());
    else
      log_("*** Erro ao excluir o backup antigo " + old.string() + ": " + ec.message());
  }
}

void TBackupRoutines::RestoreBackup(const std::string& database, const std::string& backupFile,
                                    TRestoreDone done) {
  auto fail = [this, done](const std::string& message) {
    LogFailure("Erro no restore - ", message, "*** Erro no restore ***");
    if (done) done(message);
  };
  if (Trim(database).empty())
    return fail("O nome do banco de dados não está informado na configuração do servidor.");
  std::string temp = RestoreTempPath(database);
  try {
    RemoveFile(temp);  // left by a run of this process that was cut off
    children_.Start(
        tools_.gbakProgram, GbakRestoreArgs(backupFile, temp), tools_.gbakEnvironment,
        std::chrono::milliseconds(0),
        [this, database, backupFile, temp, done, fail](int exitStatus, const std::string& errorOutput) {
          thread_.Post([this, database, backupFile, temp, done, fail, exitStatus, errorOutput] {
            try {
              ReplaceDatabase(database, backupFile, temp, exitStatus, errorOutput);
            } catch (const std::exception& e) {
              RemoveFile(temp);
              return fail(e.what());
            }
            if (done) done("");
          });
        });
  } catch (const std::exception& e) {
    fail(e.what());
  }
}

void TBackupRoutines::ReplaceDatabase(const std::string& database, const std::string& backupFile,
                                      const std::string& temp, int exitStatus,
                                      const std::string& errorOutput) {
  if (exitStatus != 0) {
    const std::string newer = BackupVersionMessage(errorOutput);
    throw LivrexaError((newer.empty() ? "" : newer + "\r") + JoinLines(GbakFailureLines(exitStatus, errorOutput)));
  }
  if (!RegularFileExists(temp))
    throw LivrexaError("O gbak não gerou o banco de dados restaurado " + temp + ".");
  if (tools_.checkDatabase) tools_.checkDatabase(temp);

  std::string old = OldDatabasePath(home_);
  RemoveFile(old);
  if (FileExists(old)) throw LivrexaError("Não foi possível excluir " + old + ".");
  log_("Arquivo Livrexa.old excluído com sucesso.");

  // Pooled connections keep the file open; they must go before the file does.
  if (tools_.emptyConnectionPool) tools_.emptyConnectionPool();
  bool hadDatabase = RegularFileExists(database);
  if (hadDatabase) {
    std::string reason = MoveFile(database, old);
    if (!reason.empty())
      throw LivrexaError("Não foi possível renomear " + database + " para " + old + ": " + reason);
    log_("Arquivo " + database + " renomeado com sucesso.");
  }
  std::error_code ec;
  fs::rename(temp, database, ec);
  if (ec) {
    std::string message = "Não foi possível colocar o banco restaurado em " + database + ": " + ec.message();
    if (hadDatabase) {
      std::string reason = MoveFile(old, database);
      if (!reason.empty()) message += "\rO banco de dados anterior ficou em " + old + ".";
    }
    throw LivrexaError(message);
  }
  log_("Arquivo " + backupFile + " restaurado com sucesso.");
}

}  // namespace livrexa::host

#include "host/backup_routines.h"

#include <exception>

#include "host/backup_files.h"
#include "rest/errors.h"
#include "rest/wire_consts.h"

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

void TBackupRoutines::GeraBackup(const std::string& database, const std::string& file1,
                                 const std::string& file2, TDone done) {
  try {
    children_.Start(tools_.gbakProgram, GbakBackupArgs(database, file1), tools_.gbakEnvironment,
                    tools_.backupMinimumWait,
                    [this, file1, file2, done](int exitStatus, const std::string& errorOutput) {
                      thread_.Post([this, file1, file2, done, exitStatus, errorOutput] {
                        FinishBackup(file1, file2, exitStatus, errorOutput);
                        if (done) done();
                      });
                    });
  } catch (const std::exception& e) {
    LogFailure("Erro no backup - ", e.what(), "*** Erro no Backup ***");
    if (done) done();
  }
}

void TBackupRoutines::FinishBackup(const std::string& file1, const std::string& file2, int exitStatus,
                                   const std::string& errorOutput) {
  try {
    // A gbak that failed half-way may leave part of a backup: that is not the day's backup.
    if (exitStatus != 0) RemoveFile(file1);
    if (FileExists(file1)) {
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
    }
  } catch (const std::exception& e) {
    LogFailure("Erro no backup - ", e.what(), "*** Erro no Backup ***");
  }
}

void TBackupRoutines::RestauraBackup(const std::string& database, const std::string& backupFile,
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
  if (exitStatus != 0) throw LivrexaError(JoinLines(GbakFailureLines(exitStatus, errorOutput)));
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

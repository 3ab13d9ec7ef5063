#pragma once
// The daily backup (MakeBackup) and the restore (RestoreBackup): gbak runs as a child process;
// its end is handed back to the host's thread, where the files are checked and the log written.
// A restore writes a new file beside the database and replaces the database only when gbak
// succeeded and the new file opens: a failed restore leaves the database where it was.
//
// Each new backup is checked: gbak restores it into a temporary file whose tables and row counts
// must match the live database's (backup_check.h). Only a backup that passed lets the oldest
// daily backups of its folders go, when the settings keep a number of them (DiasBackup).

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/background_work.h"
#include "host/backup_check.h"
#include "host/child_process.h"
#include "host/host_clock.h"
#include "host/host_thread.h"

namespace livrexa::host {

// What attaching to a database on a Firebird server said at start-up.
struct TServerProbe {
  enum class TOutcome { Attached, Refused, Unreachable };
  TOutcome outcome = TOutcome::Attached;
  std::string message;  // the engine's, when not attached
};

// What opening the database at start-up found, and what was done to bring it up to date.
struct TDatabaseOpening {
  enum class TOutcome {
    Opened,
    WrongStructure,  // a file of another Firebird's on-disk structure: `message` says how to move it
    Refused,         // the engine's `message`
    Unreachable,     // a Firebird server that did not answer
  };
  TOutcome outcome = TOutcome::Opened;
  std::string message;
  std::vector<std::string> log;  // the engine and structure, each step of the upgrade
};

struct TBackupTools {
  std::string gbakProgram = "gbak";
  // "NAME=value" entries added to the environment of gbak (the process's Firebird folders).
  std::vector<std::string> gbakEnvironment;
  // Closes the database connections kept for reuse; run before a restore moves the database.
  std::function<void()> emptyConnectionPool;
  // Opens a database file with the engine and closes it again; throws LivrexaError with the
  // engine's message when it does not open. Unset: a file gbak wrote counts as opening.
  std::function<void(const std::string& path)> checkDatabase;
  // The backup waits at least this long, and beyond it until gbak has ended.
  std::chrono::milliseconds backupMinimumWait{5000};
  // The rows of every table of a database (a file or a server name); throws LivrexaError with
  // the engine's message. Runs off the host's thread. Unset: new backups are not checked, and so
  // no old backup is ever deleted.
  std::function<TRowCounts(const std::string& database)> countRows;
  // Where the check restores a new backup; empty: the backup's own folder.
  std::string verificationFolder;
  // Told the database's name when the settings give it and before gbak runs for it: the
  // gateway's Firebird folder follows (the remote provider only for a database on a server).
  std::function<void(const std::string& database)> useDatabase;
  // Attaches to a database on a Firebird server and detaches again. Unset: counts as attached.
  std::function<TServerProbe(const std::string& database)> probeServer;
  // Opens the database at start-up (and after a restore), checks its structure and adds what the
  // server needs (read-only user's rights, indexes), then lets it go. Unset: counts as opened.
  std::function<TDatabaseOpening(const std::string& database)> openDatabase;
};

class TBackupRoutines {
 public:
  using TLog = std::function<void(const std::string&)>;
  using TDone = std::function<void()>;
  // Runs once the restore's last log entry is written: "" when the database was replaced, else
  // what went wrong (also in the log), lines separated by CR.
  using TRestoreDone = std::function<void(const std::string& failure)>;

  TBackupRoutines(std::filesystem::path home, THostThread& thread, const TClock& clock, TLog log,
                  TBackupTools tools);

  // `done` runs on the host's thread once the routine's last log entry is written. `diasBackup`:
  // how many daily backups each folder keeps once the new one passed its check (0: all).
  void MakeBackup(const std::string& database, const std::string& file1, const std::string& file2,
                  int diasBackup, TDone done);
  void RestoreBackup(const std::string& database, const std::string& backupFile, TRestoreDone done);

  TBackupTools& Tools() { return tools_; }
  // Waits for the gbak children and their hand-back to be posted (tests, shutdown).
  void WaitForChildren() {
    background_.WaitAll();
    children_.WaitAll();
  }

 private:
  struct TBackupRun;
  void StartBackup(std::shared_ptr<TBackupRun> run);
  // Logs what gbak made and copies it to the second folder.
  void FinishBackup(TBackupRun& run, int exitStatus, const std::string& errorOutput);
  // Restores the new backup into a temporary file and counts its rows; then CheckBackup.
  void VerifyBackup(std::shared_ptr<TBackupRun> run);
  void CheckBackup(TBackupRun& run, const std::string& failure, const TRowCounts& after,
                   const TRowCounts& restored);
  // Deletes the daily backups of `folder` beyond the newest `keep`.
  void DeleteOldBackups(const std::string& folder, int keep, const std::string& newest);
  void EndBackup(TBackupRun& run);
  // Checks what gbak made and puts it in place of the database; throws LivrexaError when the
  // database stays as it was.
  void ReplaceDatabase(const std::string& database, const std::string& backupFile, const std::string& temp,
                       int exitStatus, const std::string& errorOutput);
  // The failure's head with the date and time, its message one entry per line, then the tail.
  void LogFailure(const std::string& head, const std::string& message, const std::string& tail);

  std::filesystem::path home_;
  THostThread& thread_;
  const TClock& clock_;
  TLog log_;
  TBackupTools tools_;
  TChildProcesses children_;
  TBackgroundWork background_;
};

}  // namespace livrexa::host

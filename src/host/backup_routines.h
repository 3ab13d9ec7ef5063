#pragma once
// The daily backup (GeraBackup) and the restore (RestauraBackup): gbak runs as a child process;
// its end is handed back to the host's thread, where the files are checked and the log written.
// A restore writes a new file beside the database and replaces the database only when gbak
// succeeded and the new file opens: a failed restore leaves the database where it was.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host/child_process.h"
#include "host/host_clock.h"
#include "host/host_thread.h"

namespace livrexa::host {

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

  // `done` runs on the host's thread once the routine's last log entry is written.
  void GeraBackup(const std::string& database, const std::string& file1, const std::string& file2,
                  TDone done);
  void RestauraBackup(const std::string& database, const std::string& backupFile, TRestoreDone done);

  TBackupTools& Tools() { return tools_; }
  // Waits for the gbak children and their hand-back to be posted (tests, shutdown).
  void WaitForChildren() { children_.WaitAll(); }

 private:
  void FinishBackup(const std::string& file1, const std::string& file2, int exitStatus,
                    const std::string& errorOutput);
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
};

}  // namespace livrexa::host

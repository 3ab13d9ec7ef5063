#pragma once
// The start-up and serving logic shared by the window and the headless mode: reading or creating
// Config1.ini, starting the listener, the ten-minute backup timer, the restore and the saving of
// new settings. It runs on the host's thread; what it shows goes to a THostView.

#include <filesystem>
#include <functional>
#include <string>

#include "host/backup_routines.h"
#include "host/host_clock.h"
#include "host/host_settings.h"
#include "host/host_thread.h"
#include "host/host_view.h"
#include "host/listener_control.h"

namespace livrexa::host {

inline constexpr const char* kDatabaseNotFound =
    "Banco de dados não localizado na pasta.\r\rInforme corretamente na tela a seguir  ";
// A database file the engine did not open at start-up: this text, then the engine's message.
inline constexpr const char* kDatabaseNotOpened = "*** O banco de dados não abriu: ";
inline constexpr int kBackupTimerIntervalMs = 600000;
inline constexpr const char* kRestoreFailed = "O backup não foi restaurado.";
// Start-up with a database on a Firebird server that does not open: this text, the name, the
// engine's message.
inline constexpr const char* kServerDatabaseFailed =
    "Não foi possível abrir o banco de dados no servidor Firebird ";
// The restore dialog with a database on a Firebird server: this text, then the name.
inline constexpr const char* kRestoreOnServer =
    "O banco de dados fica num servidor Firebird e não é restaurado por aqui: quem restaura um backup "
    "é o administrador desse servidor, com as ferramentas do Firebird.\r\rBanco de dados: ";

class TServerHost {
 public:
  TServerHost(std::filesystem::path home, THostSettings& settings, THostView& view, THostThread& thread,
              THostTimer& backupTimer, TListenerControl& listener, const TClock& clock, TBackupTools tools);

  // ServerUnreachable: the database is on a Firebird server that could not be reached (worth
  // starting again later); NotConfigured: the settings must change.
  enum class TStartOutcome { Serving, NotConfigured, ServerUnreachable };

  // Start-up: clears the settings, fills the status panels, reads Config1.ini (or writes the
  // first-start file) and starts the listener when the database file exists; otherwise shows the
  // not-found message and opens the settings (without a database there is no administrator to
  // check). Before the listener opens, the database is opened and brought up to date
  // (openDatabase): a file of another Firebird's on-disk structure shows how to move it and opens
  // the settings. A database on a Firebird server (a server name in vLocalDB) that does not
  // attach shows the engine's message and opens the settings. A listener that cannot start
  // throws TPortError.
  TStartOutcome Start();

  // Whether vLocalDB names an existing file (not a folder), or a database on a Firebird server
  // that attaches.
  bool DatabaseFound() const;
  bool DatabaseOnServer() const;

  // Empty when the restore dialog may restore; otherwise why not (the database is on a server).
  std::string RestoreRefusal() const;

  // (Re)starts the listener on vPorta, sets the title and enables the backup timer. Throws
  // TPortError when the listener cannot start; the title and the timer then stay as they were.
  void ApplySettings();

  // One tick of the backup timer.
  void OnTimer();

  // The settings dialog's save. The new port is opened first: when it cannot be, TPortError is
  // thrown and the listener, Config1.ini, the settings and the title stay as they were. Then
  // Config1.ini, the settings in memory, the title and the timer, as ApplySettings does.
  void SaveSettings(const TServerSettings& values);

  // The restore dialog's run: listener off, RestoreBackup, then `done` on the host's thread
  // (the dialog then restarts the listener with ApplySettings). A failed restore is shown in a
  // message box before `done`. With the database on a server, only the refusal is shown.
  void RunRestore(const std::string& backupFile, std::function<void()> done);

  void Log(const std::string& entry) { view_.AppendLogEntry(entry); }

  // Stops the listener (window close, headless signal).
  void Shutdown();

  const std::filesystem::path& Home() const { return home_; }
  std::string HomeFolderText() const;
  THostSettings& Settings() { return settings_; }
  const TClock& Clock() const { return clock_; }
  TBackupRoutines& Backup() { return backup_; }
  bool BackupRunning() const { return backupRunning_; }

 private:
  // Title with the port and the backup timer on, once the listener serves `port`.
  void ShowServing(int port);
  void UseDatabase(const std::string& database);
  TServerProbe ProbeServer(const std::string& database) const;
  // The openDatabase tool, its log entries written; a failure of the tool itself counts as refused.
  TDatabaseOpening OpenDatabase(const std::string& database);

  std::filesystem::path home_;
  THostSettings& settings_;
  THostView& view_;
  THostThread& thread_;
  THostTimer& timer_;
  TListenerControl& listener_;
  const TClock& clock_;
  TBackupRoutines backup_;
  TBackupTools& tools_;
  bool backupRunning_ = false;
};

}  // namespace livrexa::host

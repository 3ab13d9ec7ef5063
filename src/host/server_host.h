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
inline constexpr int kBackupTimerIntervalMs = 600000;

class TServerHost {
 public:
  TServerHost(std::filesystem::path home, THostSettings& settings, THostView& view, THostThread& thread,
              THostTimer& backupTimer, TListenerControl& listener, const TClock& clock, TBackupTools tools);

  enum class TStartOutcome { Serving, NotConfigured };

  // Start-up: clears the settings, fills the status panels, reads Config1.ini (or writes the
  // first-start file) and starts the listener when the database file exists; otherwise shows the
  // not-found message and opens the login. A listener that cannot start throws LivrexaError.
  TStartOutcome FormShow();

  // (Re)starts the listener on vPorta, sets the title and enables the backup timer. Throws
  // LivrexaError when the listener cannot start; the title and the timer then stay as they were.
  void BotaoOKClick();

  // One tick of the backup timer.
  void JvTimer1Timer();

  // The settings dialog's save: Config1.ini, the settings in memory, then BotaoOKClick.
  void SaveSettings(const TServerSettings& values);

  // The restore dialog's run: listener off, RestauraBackup, then `done` on the host's thread
  // (the dialog then restarts the listener with BotaoOKClick).
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
  std::filesystem::path home_;
  THostSettings& settings_;
  THostView& view_;
  THostThread& thread_;
  THostTimer& timer_;
  TListenerControl& listener_;
  const TClock& clock_;
  TBackupRoutines backup_;
  bool backupRunning_ = false;
};

}  // namespace livrexa::host

#include "host/server_host.h"

#include "handlers/gateway/database_name.h"
#include "host/backup_files.h"
#include "host/computer_name.h"
#include "host/config_file.h"
#include "rest/wire/wire_consts.h"

namespace livrexa::host {
namespace fs = std::filesystem;

namespace {

// A file, not a folder of that name.
bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

bool FolderExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

}  // namespace

TServerHost::TServerHost(fs::path home, THostSettings& settings, THostView& view, THostThread& thread,
                         THostTimer& backupTimer, TListenerControl& listener, const TClock& clock,
                         TBackupTools tools)
    : home_(std::move(home)),
      settings_(settings),
      view_(view),
      thread_(thread),
      timer_(backupTimer),
      listener_(listener),
      clock_(clock),
      backup_(
          home_, thread_, clock_, [this](const std::string& entry) { Log(entry); }, std::move(tools)),
      tools_(backup_.Tools()) {}

std::string TServerHost::HomeFolderText() const {
  return HomeText(home_);
}

TServerHost::TStartOutcome TServerHost::Start() {
  settings_.Clear();
  view_.ShowStatusPanels(HomeFolderText(), "Nome desse computador: " + NomeComputador());
  if (fs::exists(ConfigPath(home_)))
    settings_.Set(ReadConfig(home_));
  else
    WriteFirstStartConfig(home_);  // the settings in memory stay empty for this run

  const std::string database = settings_.LocalDB();
  UseDatabase(database);
  const bool onServer = IsServerDatabaseName(database);
  if (!onServer && !FileExists(database)) {
    view_.ShowMessage(kDatabaseNotFound);
    view_.OpenSettings();
    return TStartOutcome::NotConfigured;
  }
  const TDatabaseOpening opening = OpenDatabase(database);
  switch (opening.outcome) {
    case TDatabaseOpening::TOutcome::Opened:
      break;
    case TDatabaseOpening::TOutcome::WrongStructure:
      view_.ShowMessage(opening.message);
      view_.OpenSettings();
      return TStartOutcome::NotConfigured;
    case TDatabaseOpening::TOutcome::Refused:
    case TDatabaseOpening::TOutcome::Unreachable:
      if (onServer) {
        view_.ShowMessage(kServerDatabaseFailed + database + ":\r" + opening.message);
        view_.OpenSettings();
        return opening.outcome == TDatabaseOpening::TOutcome::Unreachable ? TStartOutcome::ServerUnreachable
                                                                          : TStartOutcome::NotConfigured;
      }
      // A file the engine will not open now (damaged, no access, held elsewhere) is still served:
      // each request then answers the engine's message, as it always has.
      Log(std::string(kDatabaseNotOpened) + opening.message);
      break;
  }
  ApplySettings();
  return TStartOutcome::Serving;
}

TDatabaseOpening TServerHost::OpenDatabase(const std::string& database) {
  if (!tools_.openDatabase) return {};
  TDatabaseOpening opening;
  try {
    opening = tools_.openDatabase(database);
  } catch (const std::exception& e) {
    opening = {TDatabaseOpening::TOutcome::Refused, e.what(), {}};
  }
  for (const std::string& entry : opening.log) Log(entry);
  return opening;
}

bool TServerHost::DatabaseOnServer() const {
  return IsServerDatabaseName(settings_.LocalDB());
}

bool TServerHost::DatabaseFound() const {
  const std::string database = settings_.LocalDB();
  if (IsServerDatabaseName(database))
    return ProbeServer(database).outcome == TServerProbe::TOutcome::Attached;
  return FileExists(database);
}

void TServerHost::UseDatabase(const std::string& database) {
  if (tools_.useDatabase) tools_.useDatabase(database);
}

TServerProbe TServerHost::ProbeServer(const std::string& database) const {
  if (!tools_.probeServer) return {};
  try {
    return tools_.probeServer(database);
  } catch (const std::exception& e) {
    return {TServerProbe::TOutcome::Refused, e.what()};
  }
}

std::string TServerHost::RestoreRefusal() const {
  const std::string database = settings_.LocalDB();
  return IsServerDatabaseName(database) ? kRestoreOnServer + database : "";
}

void TServerHost::ApplySettings() {
  int port = settings_.Port();
  listener_.Activate(port);  // a failure leaves title and timer as they were
  ShowServing(port);
}

void TServerHost::ShowServing(int port) {
  std::string title = kServingTitlePrefix + std::to_string(port);
  settings_.SetTitle(title);
  view_.ShowTitle(title);
  timer_.Enable();
}

void TServerHost::OnTimer() {
  if (backupRunning_) return;
  TTimePoint now = clock_.Now();
  TLocalTime today = ToLocalTime(now);
  TServerSettings values = settings_.Get();

  std::string file1 = BackupFileName(values.vPastaBackup1, today);
  std::string file2;
  if (!Trim(values.vPastaBackup2).empty()) file2 = BackupFileName(values.vPastaBackup2, today);

  if (FileExists(file1) || today.hour < values.vHoraBackup) return;
  if (Trim(values.vPastaBackup1).empty()) {
    Log("A pasta de destino do backup não foi informado na configuração do servidor.");
    return;
  }
  if (!FolderExists(values.vPastaBackup1)) {
    Log("A pasta de destino do backup não existe.");
    return;
  }
  if (!Trim(values.vPastaBackup2).empty() && !FolderExists(values.vPastaBackup2)) {
    Log("A pasta de destino alternativa do backup não existe.");
    return;
  }

  timer_.Disable();
  backupRunning_ = true;
  view_.ClearLog();
  Log("*** Início do Backup ***");
  Log("Iniciou em: " + TimeText(now));
  Log(" ");
  backup_.MakeBackup(values.vLocalDB, file1, file2, values.vDiasBackup, [this, now] {
    TTimePoint end = clock_.Now();
    Log("");
    Log("Terminou em: " + TimeText(end));
    Log("Tempo decorrido: " + ElapsedText(end - now));
    backupRunning_ = false;
    timer_.Enable();
  });
}

void TServerHost::SaveSettings(const TServerSettings& values) {
  bool wasActive = listener_.Active();
  int oldPort = listener_.Port();
  listener_.Activate(values.vPorta);
  try {
    WriteConfig(home_, values);
  } catch (...) {
    // The file keeps the old settings: so does the listener, as far as it can.
    try {
      if (!wasActive)
        listener_.Deactivate();
      else if (oldPort != values.vPorta)
        listener_.Activate(oldPort);
    } catch (const std::exception&) {
    }
    throw;
  }
  TServerSettings current = settings_.Get();
  current.vLocalDB = values.vLocalDB;
  current.vPorta = values.vPorta;
  current.vHoraBackup = values.vHoraBackup;
  current.vPastaBackup1 = values.vPastaBackup1;
  current.vPastaBackup2 = values.vPastaBackup2;
  settings_.Set(current);
  UseDatabase(values.vLocalDB);
  ShowServing(values.vPorta);
}

void TServerHost::RunRestore(const std::string& backupFile, std::function<void()> done) {
  if (const std::string refusal = RestoreRefusal(); !refusal.empty()) {
    view_.ShowMessage(refusal);
    if (done) done();
    return;
  }
  listener_.Deactivate();
  backup_.RestoreBackup(settings_.LocalDB(), backupFile, [this, done](const std::string& failure) {
    if (!failure.empty())
      view_.ShowMessage(std::string(kRestoreFailed) + "\r\r" + failure);
    else
      OpenDatabase(settings_.LocalDB());  // a backup from elsewhere may lack the server's additions
    if (done) done();
  });
}

void TServerHost::Shutdown() {
  listener_.Deactivate();
}

}  // namespace livrexa::host

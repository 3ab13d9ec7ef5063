#include "host/assembly/server_wiring.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "handlers/database_upgrade.h"
#include "handlers/gateway/connection.h"
#include "handlers/gateway/database_facts.h"
#include "handlers/gateway/database_name.h"
#include "handlers/gateway/query.h"
#include "handlers/gateway/tools.h"
#include "handlers/handler_limits.h"
#include "handlers/host_services.h"
#include "handlers/tdm.h"
#include "handlers/tdm_dispatch.h"
#include "host/assembly/limit_settings.h"
#include "host/backup_files.h"
#include "rest/listener/listener.h"

namespace livrexa::host {
namespace fs = std::filesystem;
namespace {

// The error number at the end of the engine's bind message (": " + strerror), 0 when it names
// none of those the operator is told about in words.
int BindErrorNumber(const std::string& message) {
  for (int number : {EADDRINUSE, EACCES, EPERM, EADDRNOTAVAIL}) {
    std::string reason = std::strerror(number);
    if (message.size() >= reason.size() &&
        message.compare(message.size() - reason.size(), reason.size(), reason) == 0)
      return number;
  }
  return 0;
}

class TPoolerListener : public TListenerControl {
 public:
  TPoolerListener(std::filesystem::path home, TLimitSettings limits)
      : home_(std::move(home)), limits_(std::move(limits)) {}
  void Deactivate() override {
    if (pooler_) pooler_->SetActive(false);
    pooler_.reset();
    port_ = 0;
  }
  void Activate(int port) override {
    if (Active() && port == port_) return;
    if (port < 1 || port > 65535) throw TPortError(port, EINVAL, "número de porta inválido.");
    // The new port first: the old one keeps serving until the new one is open.
    auto next = NewPooler(port);
    try {
      next->SetActive(true);
    } catch (const LivrexaError& e) {
      throw TPortError(port, BindErrorNumber(e.what()), e.what());
    }
    Deactivate();
    pooler_ = std::move(next);
    port_ = port;
  }
  bool Active() const override { return pooler_ && pooler_->Active(); }
  int Port() const override { return Active() ? port_ : 0; }

 private:
  std::unique_ptr<TRESTServicePooler> NewPooler(int port) const {
    auto pooler = std::make_unique<TRESTServicePooler>();
    pooler->SetServerMethodClass(TServerMethodClass::Of<TDM>());
    // Files are answered only from the home's "www" folder: the home itself holds Config1.ini,
    // the database and its backups, which no client may download.
    pooler->ProgramFolder = home_ / "www";
    pooler->StaticFolder = home_ / "www";
    pooler->ServicePort = static_cast<uint16_t>(port);
    ApplyListenerLimits(limits_, *pooler);
    return pooler;
  }

  std::filesystem::path home_;
  TLimitSettings limits_;
  std::unique_ptr<TRESTServicePooler> pooler_;
  int port_ = 0;
};

// Every table of the database (not the views, nor the engine's own tables) with its rows, read on a
// connection of its own outside the pool, so nothing keeps the database open afterwards.
TRowCounts CountRows(const std::string& database) {
  TFbConnection connection([database] { return database; }, nullptr);
  TFbQuery query(connection);
  query.SetSql({"Select Trim(RDB$RELATION_NAME) From RDB$RELATIONS ",
                "Where Coalesce(RDB$SYSTEM_FLAG, 0) = 0 and RDB$VIEW_BLR is Null and RDB$RELATION_TYPE = 0 ",
                "Order by 1"});
  query.Open();
  TRowCounts counts;
  for (; !query.Eof(); query.Next()) counts.push_back({query.AsString(size_t{0}), 0});
  for (TTableRows& table : counts) {
    std::string quoted;
    for (char c : table.table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    query.SetSql({"Select Count(*) From \"" + quoted + "\""});
    query.Open();
    table.rows = query.AsLargeInt(size_t{0});
  }
  query.Close();
  connection.Disconnect();
  return counts;
}

TServerProbe ProbeServer(const std::string& database) {
  try {
    TFbConnection connection([database] { return database; }, nullptr);
    connection.Connect();
    connection.Disconnect();
    return {};
  } catch (const TFbError& e) {
    return {e.Unreachable() ? TServerProbe::TOutcome::Unreachable : TServerProbe::TOutcome::Refused,
            e.what()};
  }
}

// Checks the file's on-disk structure against the installed engine before attaching (the engine's
// own refusal names neither Firebird), then logs the engine and structure and adds what the server
// needs. On a connection of its own outside the pool, so nothing keeps the database open.
TDatabaseOpening OpenDatabase(const std::string& database) {
  using TOutcome = TDatabaseOpening::TOutcome;
  const bool onServer = IsServerDatabaseName(database);
  if (!onServer) {
    const TFbEngineFacts engine = InstalledEngine();
    if (const TOdsVersion ods = ReadFileOds(database); ods.Known() && !engine.Opens(ods))
      return {TOutcome::WrongStructure, WrongOdsMessage(database, ods, engine), {}};
  }
  TDatabaseOpening opening;
  try {
    TFbConnection connection([database] { return database; }, nullptr);
    const TFbDatabaseFacts facts = DatabaseFacts(connection);
    opening.log.push_back("Banco de dados: " + database + " (ODS " + facts.ods.Text() + ", Firebird " +
                          (facts.engineVersion.empty() ? InstalledEngine().version : facts.engineVersion) + ")");
    const std::vector<std::string> steps = UpgradeDatabase(connection, onServer);
    opening.log.insert(opening.log.end(), steps.begin(), steps.end());
    connection.Disconnect();
  } catch (const TFbError& e) {
    opening.outcome = e.Unreachable() ? TOutcome::Unreachable : TOutcome::Refused;
    opening.message = e.what();
  }
  return opening;
}

}  // namespace

THostWiring ServerWiring(const THostOptions& options) {
  TFbEnvironment& firebird = TFbEnvironment::Instance();
  if (!std::getenv("LIVREXA_FIREBIRD_DIR")) firebird.SetFolder(options.home / ".firebird");
  firebird.Activate();
  RegisterCatalogueOperations();
  RegisterCirculationOperations();

  TLimitSettings limits = ReadLimitSettings(options.home);
  ApplyHandlerLimits(limits, HandlerLimits());

  THostWiring wiring;
  wiring.makeListener = [home = options.home, limits = std::move(limits)](
                            THostServices& services) -> std::unique_ptr<TListenerControl> {
    SetHost(&services);
    for (const std::string& problem : limits.problems) services.AppendLog(problem);
    return std::make_unique<TPoolerListener>(home, limits);
  };
  wiring.validaLogin = [](THostServices& services, const std::string& user, const std::string& password) {
    SetHost(&services);
    TDM module;  // counted in the request counter like every module
    return module.ValidaLogin(user, password);
  };
  wiring.backupTools.gbakProgram = GbakProgram(options.home);
  // Not one bundled in the home: the installation's real gbak rather than a wrapper in PATH.
  if (const fs::path installed = FindFirebirdTool({"gbak"});
      wiring.backupTools.gbakProgram == "gbak" && !installed.empty())
    wiring.backupTools.gbakProgram = installed.string();
  for (const auto& [name, value] : firebird.ToolEnvironment())
    wiring.backupTools.gbakEnvironment.push_back(name + "=" + value);
  // gbak moves the database aside during a restore: the pooled attachments must let go of it.
  wiring.backupTools.emptyConnectionPool = [] { TFbPool::Shared().Clear(); };
  // A restored file replaces the database only when the engine opens it; outside the pool, so
  // nothing keeps it open afterwards.
  wiring.backupTools.checkDatabase = [](const std::string& path) {
    TFbConnection connection([path] { return path; }, nullptr);
    connection.Connect();
    connection.Disconnect();
  };
  wiring.backupTools.countRows = CountRows;
  // The engine's sort folder: on the server's own disk, where the check's restore is written.
  wiring.backupTools.verificationFolder = (firebird.Folder() / "tmp").string();
  // gbak children read firebird.conf: the remote provider is listed while the database is on a
  // server. The server's own attachments name their providers themselves.
  wiring.backupTools.useDatabase = [](const std::string& database) {
    TFbEnvironment::Instance().SetServerMode(IsServerDatabaseName(database));
  };
  wiring.backupTools.probeServer = ProbeServer;
  wiring.backupTools.openDatabase = OpenDatabase;
  return wiring;
}

}  // namespace livrexa::host

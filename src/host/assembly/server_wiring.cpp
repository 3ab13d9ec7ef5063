#include "host/assembly/server_wiring.h"

#include <cstdlib>

#include "handlers/fb_environment.h"
#include "handlers/fb_pool.h"
#include "handlers/host_services.h"
#include "handlers/tdm.h"
#include "handlers/tdm_dispatch.h"
#include "host/backup_files.h"
#include "rest/listener.h"

namespace livrexa::host {
namespace {

class TPoolerListener : public TListenerControl {
 public:
  explicit TPoolerListener(const std::filesystem::path& home) {
    pooler_.SetServerMethodClass(TServerMethodClass::Of<TDM>());
    // Files are answered only from the home's "www" folder: the home itself holds Config1.ini,
    // the database and its backups, which no client may download.
    pooler_.ProgramFolder = home / "www";
    pooler_.StaticFolder = home / "www";
  }
  void Deactivate() override { pooler_.SetActive(false); }
  void Activate(int port) override {
    pooler_.ServicePort = static_cast<uint16_t>(port);
    pooler_.SetActive(true);
  }
  bool Active() const override { return pooler_.Active(); }

 private:
  TRESTServicePooler pooler_;
};

}  // namespace

THostWiring ServerWiring(const THostOptions& options) {
  TFbEnvironment& firebird = TFbEnvironment::Instance();
  if (!std::getenv("LIVREXA_FIREBIRD_DIR")) firebird.SetFolder(options.home / ".firebird");
  firebird.Activate();
  RegisterCatalogueOperations();
  RegisterCirculationOperations();

  THostWiring wiring;
  wiring.makeListener = [home = options.home](THostServices& services) -> std::unique_ptr<TListenerControl> {
    SetHost(&services);
    return std::make_unique<TPoolerListener>(home);
  };
  wiring.validaLogin = [](THostServices& services, const std::string& user, const std::string& password) {
    SetHost(&services);
    TDM module;  // counted in the request counter like every module
    return module.ValidaLogin(user, password);
  };
  wiring.backupTools.gbakProgram = GbakProgram(options.home);
  for (const auto& [name, value] : firebird.ToolEnvironment())
    wiring.backupTools.gbakEnvironment.push_back(name + "=" + value);
  // gbak moves the database aside during a restore: the pooled attachments must let go of it.
  wiring.backupTools.emptyConnectionPool = [] { TFbPool::Shared().Clear(); };
  return wiring;
}

}  // namespace livrexa::host

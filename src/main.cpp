// livrexa-server: the window by default, or headless with --headless.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "handlers/fb_environment.h"
#include "handlers/fb_pool.h"
#include "handlers/host_services.h"
#include "handlers/tdm.h"
#include "host/backup_files.h"
#include "host/headless_host.h"
#include "host/host_options.h"
#include "host/single_instance.h"
#include "rest/errors.h"
#include "rest/listener.h"
#ifdef LIVREXA_HOST_GUI
#include "host/window/window_host.h"
#endif

namespace {

// The HTTP listener with the request handler module TDM.
class TPoolerListener : public livrexa::host::TListenerControl {
 public:
  explicit TPoolerListener(const std::filesystem::path& home) {
    pooler_.SetServerMethodClass(livrexa::TServerMethodClass::Of<livrexa::TDM>());
    pooler_.ProgramFolder = home;
  }
  void Deactivate() override { pooler_.SetActive(false); }
  void Activate(int port) override {
    pooler_.ServicePort = static_cast<uint16_t>(port);
    pooler_.SetActive(true);
  }
  bool Active() const override { return pooler_.Active(); }

 private:
  livrexa::TRESTServicePooler pooler_;
};

livrexa::host::THostWiring ServerWiring(const livrexa::host::THostOptions& options) {
  using namespace livrexa;
  // The embedded engine's configuration, locks and temporary files live in the home folder; set
  // while the process still has one thread, and handed to every gbak the backup starts.
  TFbEnvironment& firebird = TFbEnvironment::Instance();
  if (!std::getenv("LIVREXA_FIREBIRD_DIR")) firebird.SetFolder(options.home / ".firebird");
  firebird.Activate();

  host::THostWiring wiring;
  wiring.makeListener = [home = options.home](THostServices& services) {
    SetHost(&services);
    return std::make_unique<TPoolerListener>(home);
  };
  wiring.validaLogin = [](THostServices&, const std::string& user, const std::string& password) {
    TDM module;  // counted as a request, like every module
    return module.ValidaLogin(user, password);
  };
  wiring.backupTools.gbakProgram = host::GbakProgram(options.home);
  for (const auto& [name, value] : firebird.ToolEnvironment())
    wiring.backupTools.gbakEnvironment.push_back(name + "=" + value);
  wiring.backupTools.emptyConnectionPool = [] { TFbPool::Shared().Clear(); };
  return wiring;
}

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace livrexa::host;
  THostOptions options;
  try {
    options = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const livrexa::LivrexaError& e) {
    std::fprintf(stderr, "%s", e.what());
    return 64;
  }
  if (options.showHelp) {
    std::fputs(HostUsage().c_str(), stdout);
    return 0;
  }
  // A second instance ends here, silently, before it touches any file or port.
  TSingleInstance instance;
  if (!instance.Acquire()) return 0;

#ifdef LIVREXA_HOST_GUI
  if (!options.headless) {
    if (DisplayAvailable()) return RunWindow(argc, argv, options, ServerWiring(options));
    std::fputs("livrexa-server: sem tela disponível; iniciando sem janela (--headless).\n", stderr);
  }
#else
  (void)DisplayAvailable;
#endif
  return RunHeadless(options, ServerWiring(options));
}

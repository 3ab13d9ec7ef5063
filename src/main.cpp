// livrexa-server: the window by default, or headless with --headless.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/assembly/server_wiring.h"
#include "host/headless_host.h"
#include "host/host_options.h"
#include "host/single_instance.h"
#include "host/stop_signals.h"
#include "rest/http/allocator_tuning.h"
#include "rest/wire/errors.h"
#ifdef LIVREXA_HOST_GUI
#include "host/window/window_host.h"
#endif

namespace {

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* value = std::getenv(name); value && *value) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace livrexa::host;
  BlockStopSignals();  // before any thread exists, so that none of them takes SIGINT or SIGTERM
  livrexa::TuneAllocatorForLargeTexts();
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
  // The database engine was loaded at start-up (the database is checked before the port opens), and
  // Firebird 4's engine aborts when its library is unloaded by a normal exit while its threads run:
  // a start that ends without serving leaves the way the serving one does.
  const int status = RunHeadless(options, ServerWiring(options));
  std::fflush(nullptr);
  std::_Exit(status);
}

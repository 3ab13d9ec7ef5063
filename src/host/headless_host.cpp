#include "host/headless_host.h"

#include <cstdio>

#include "host/config_file.h"
#include "host/console_view.h"
#include "host/event_loop.h"
#include "host/host_services_bridge.h"
#include "host/server_host.h"
#include "host/stop_signals.h"
#include "rest/wire/errors.h"

namespace livrexa::host {

int RunHeadless(const THostOptions& options, THostWiring wiring) {
  BlockStopSignals();  // already blocked by main; harmless again for other callers

  if (!wiring.makeListener) {
    std::fputs("livrexa-server: o servidor HTTP não está montado neste executável.\n", stderr);
    return 1;
  }

  TEventLoop loop;
  THostSettings settings;
  TConsoleView view(stdout, stderr, ConfigPath(options.home).string());
  TUpdateChecker checker(settings, options.updateManifest, [&](const std::string& entry) {
    loop.Post([&, entry] { view.AppendLogEntry(entry); });
  });
  THostServicesBridge services(settings, loop, view, checker);
  std::unique_ptr<TListenerControl> listener = wiring.makeListener(services);
  TSystemClock clock;
  TServerHost* hostPointer = nullptr;
  THostTimer& timer = loop.CreateTimer(std::chrono::milliseconds(kBackupTimerIntervalMs), [&] {
    if (hostPointer) hostPointer->OnTimer();
  });
  TServerHost host(options.home, settings, view, loop, timer, *listener, clock, wiring.backupTools);
  hostPointer = &host;

  try {
    switch (host.Start()) {
      case TServerHost::TStartOutcome::Serving:
        break;
      case TServerHost::TStartOutcome::NotConfigured:
        return 2;  // the settings must change: a service manager should not start it again
      case TServerHost::TStartOutcome::ServerUnreachable:
        return 1;  // the database server may come back: a service manager starts it again later
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", SingleLine(e.what()).c_str());
    return 1;
  }

  OnStopSignal([&loop] { loop.Quit(0); });
  loop.Run();
  host.Shutdown();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(0);  // requests still running are cut off, as when the window closes
}

}  // namespace livrexa::host

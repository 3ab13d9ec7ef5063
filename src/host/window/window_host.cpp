#include "host/window/window_host.h"

#include <QApplication>
#include <QScreen>
#include <QSystemTrayIcon>

#include "host/host_services_bridge.h"
#include "host/server_host.h"
#include "host/stop_signals.h"
#include "host/window/cyan_night.h"
#include "host/window/form_server000.h"
#include "host/window/message_boxes.h"
#include "host/window/qt_translations.h"

namespace livrexa::host {

int RunWindow(int argc, char** argv, const THostOptions& options, THostWiring wiring) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Livrexa - Servidor");
  InstallQtTranslations(app);
  ApplyCyanNight(app);
  if (!wiring.makeListener) {
    TMessageBoxes::Show(nullptr, "O servidor HTTP não está montado neste executável.");
    return 1;
  }

  THostSettings settings;
  TFormServer000 window;
  TUpdateChecker checker(settings, options.updateManifest, [&window](const std::string& entry) {
    window.Post([&window, entry] { window.AppendLogEntry(entry); });
  });
  THostServicesBridge services(settings, window, window, checker);
  std::unique_ptr<TListenerControl> listener = wiring.makeListener(services);
  TSystemClock clock;
  TServerHost host(options.home, settings, window, window, window.JvTimer1(), *listener, clock,
                   wiring.backupTools);
  TFormServer000::TValidaLogin validaLogin;
  if (wiring.validaLogin)
    validaLogin = [&](const std::string& user, const std::string& password) {
      return wiring.validaLogin(services, user, password);
    };
  window.Attach(&host, validaLogin);

  if (QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
  // Minimized only where the tray icon can bring it back; a bare X server has no tray.
  if (QSystemTrayIcon::isSystemTrayAvailable())
    window.showMinimized();
  else
    window.show();
  // A stop signal ends the process as closing the window does.
  OnStopSignal([&window] { window.Post([&window] { window.close(); }); });
  int code = app.exec();
  host.Shutdown();
  return code;
}

}  // namespace livrexa::host

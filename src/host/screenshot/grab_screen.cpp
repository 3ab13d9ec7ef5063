// livrexa-grab-screen FILE.png [DELAY_MS]: saves a picture of the whole X screen it runs on (the
// documentation's screenshot under Xvfb), after an optional delay.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fputs("uso: livrexa-grab-screen ARQUIVO.png [ESPERA_MS]\n", stderr);
    return 64;
  }
  int delay = argc > 2 ? std::atoi(argv[2]) : 0;
  QString file = QString::fromLocal8Bit(argv[1]);
  int code = 1;
  QTimer::singleShot(delay, [&] {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && screen->grabWindow(0).save(file, "PNG")) code = 0;
    app.quit();
  });
  app.exec();
  return code;
}

// livrexa-grab-screen FILE.png [DELAY_MS [X,Y,W,H]]: saves a picture of the X screen it runs on
// (the documentation's screenshots under Xvfb), after an optional delay, optionally only the
// given rectangle of it.
#include <QGuiApplication>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QStringList>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fputs("uso: livrexa-grab-screen ARQUIVO.png [ESPERA_MS [X,Y,L,A]]\n", stderr);
    return 64;
  }
  int delay = argc > 2 ? std::atoi(argv[2]) : 0;
  QRect area;
  if (argc > 3) {
    QStringList parts = QString::fromLocal8Bit(argv[3]).split(',');
    if (parts.size() != 4) {
      std::fputs("livrexa-grab-screen: retângulo X,Y,L,A\n", stderr);
      return 64;
    }
    area = QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
  }
  QString file = QString::fromLocal8Bit(argv[1]);
  int code = 1;
  QTimer::singleShot(delay, [&] {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
      QPixmap picture = area.isValid()
                            ? screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                            : screen->grabWindow(0);
      if (picture.save(file, "PNG")) code = 0;
    }
    app.quit();
  });
  app.exec();
  return code;
}

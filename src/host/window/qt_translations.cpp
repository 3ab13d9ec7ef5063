#include "host/window/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace livrexa::host {

bool InstallQtTranslations(QCoreApplication& app) {
  const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
  QLocale::setDefault(brazil);
  auto* translator = new QTranslator(&app);
  if (!translator->load(brazil, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  app.installTranslator(translator);
  return true;
}

}  // namespace livrexa::host

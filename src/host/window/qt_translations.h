#pragma once
class QCoreApplication;

namespace livrexa::host {

// Qt's own texts (file choosers, standard buttons, context menus) in Brazilian Portuguese: loads
// Qt's pt_BR translations from Qt's translations folder when they are installed, and makes
// Brazilian Portuguese the default locale of the widgets. Returns whether the translations were
// found.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace livrexa::host

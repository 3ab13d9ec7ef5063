#pragma once
// The settings dialog: database file, port, backup hour and the two backup folders.

#include <functional>

#include "host/window/server_dialog.h"

class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace livrexa::host {

class TFormServer000;

class TFormServer_Config : public TServerDialog {
  Q_OBJECT
 public:
  explicit TFormServer_Config(TFormServer000& main);

  void FormShow();  // fills the boxes from the settings in memory (done by the constructor)
  void BotaoOKClick();
  void BotaoRestoreClick();

  // Opens the restore dialog (replaced by tests).
  std::function<void()> openRestore;
  QString fileChooserFolder;

  QLineEdit* frArquivo = nullptr;
  QToolButton* escolheArquivo = nullptr;
  QSpinBox* frPorta = nullptr;
  QSpinBox* frHoraBackup = nullptr;
  QLineEdit* frPastaBackup1 = nullptr;
  QLineEdit* frPastaBackup2 = nullptr;
  QPushButton* botaoOK = nullptr;
  QPushButton* botaoRestore = nullptr;
  QPushButton* botaoFechar = nullptr;

 private:
  TFormServer000& main_;
};

}  // namespace livrexa::host

#pragma once
// The administrator login: three attempts, then the settings dialog.

#include <functional>

#include "host/window/server_dialog.h"

class QLineEdit;
class QPushButton;
class QLabel;

namespace livrexa::host {

class TFormServer000;

class TFormServer_Login : public TServerDialog {
  Q_OBJECT
 public:
  explicit TFormServer_Login(TFormServer000& main);

  void BotaoOKClick();

  // Opens the settings dialog after a successful login (replaced by tests).
  std::function<void()> openConfig;

  int vTentativa = 0;
  QLabel* label3 = nullptr;
  QLineEdit* frUsuario = nullptr;
  QLabel* label1 = nullptr;
  QLineEdit* frSenha = nullptr;
  QPushButton* botaoOK = nullptr;
  QPushButton* botaoFechar = nullptr;

 private:
  TFormServer000& main_;
};

}  // namespace livrexa::host

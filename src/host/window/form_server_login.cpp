#include "host/window/form_server_login.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>

#include "host/ini_file.h"
#include "host/window/form_server000.h"
#include "host/window/form_server_config.h"
#include "host/window/message_boxes.h"
#include "rest/wire/errors.h"

namespace livrexa::host {
namespace {

// The application's style with "#" as the password character (the style sheet's own property for
// it does not reach the line edit).
class TPasswordStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '#';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// Letters typed into the box become upper case; the cursor stays where it was.
void UpperCaseWhileTyping(QLineEdit* box) {
  QObject::connect(box, &QLineEdit::textEdited, box, [box](const QString& text) {
    QString upper = text.toUpper();
    if (upper == text) return;
    int cursor = box->cursorPosition();
    box->setText(upper);
    box->setCursorPosition(cursor);
  });
}

}  // namespace

TFormServer_Login::TFormServer_Login(TFormServer000& main) : TServerDialog(&main), main_(main) {
  setWindowTitle("Acesso somente ao adminstrador");
  auto* column = new QVBoxLayout(this);
  label3 = new QLabel("Administrador", this);
  frUsuario = new QLineEdit(this);
  frUsuario->setObjectName("frUsuario");
  frUsuario->setMaxLength(20);
  label1 = new QLabel("Senha", this);
  frSenha = new QLineEdit(this);
  frSenha->setObjectName("frSenha");
  frSenha->setMaxLength(20);
  frSenha->setEchoMode(QLineEdit::Password);
  auto* hashes = new TPasswordStyle(QApplication::style()->name());  // each character shown as "#"
  hashes->setParent(frSenha);
  frSenha->setStyle(hashes);
  UpperCaseWhileTyping(frUsuario);
  UpperCaseWhileTyping(frSenha);
  column->addWidget(label3);
  column->addWidget(frUsuario);
  column->addWidget(label1);
  column->addWidget(frSenha);
  botaoOK = NewButton("OK", "Valida o acesso ao administrador do sistema.");
  botaoFechar = NewButton("Fechar");
  column->addLayout(ButtonRow({}, {botaoOK, botaoFechar}));
  connect(botaoOK, &QPushButton::clicked, this, [this] { BotaoOKClick(); });
  connect(botaoFechar, &QPushButton::clicked, this, &QDialog::reject);
  FixSize(QSize(320, 0));

  openConfig = [this] {
    TFormServer_Config config(main_);
    config.exec();
  };
}

void TFormServer_Login::BotaoOKClick() {
  try {
    if (frUsuario->text().trimmed().isEmpty()) {
      frUsuario->setFocus();
      throw LivrexaError("É necessário informar os dados de acesso do administrador do sistema.");
    }
    if (frSenha->text().trimmed().isEmpty()) {
      frSenha->setFocus();
      throw LivrexaError("É necessário informar a senha de acesso.");
    }
    if (!main_.ValidaLogin()) throw LivrexaError("A validação do administrador não está disponível.");
    std::string answer = main_.ValidaLogin()(FromQt(frUsuario->text()), FromQt(frSenha->text()));
    if (ParseIniInteger(answer).value_or(0) != 1)
      throw LivrexaError("Essas informações não são as do administrador do sistema.");
  } catch (const std::exception& e) {
    TMessageBoxes::Show(this, ToQt(e.what()));
    frUsuario->setFocus();
    if (++vTentativa >= 3) {
      TMessageBoxes::Show(this, "Terceira tentativa inválida. Acesso negado.");
      reject();
    }
    return;
  }
  if (openConfig) openConfig();
  accept();
}

}  // namespace livrexa::host

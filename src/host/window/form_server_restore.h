#pragma once
// The restore dialog: a backup file name, the notice, and the restore run.

#include "host/window/server_dialog.h"

class QLineEdit;
class QPushButton;
class QTextEdit;
class QToolButton;

namespace livrexa::host {

class TFormServer000;

inline constexpr const char* kRestoreNoticeLines[] = {
    "Leia com atenção",
    "",
    "Ao restaurar um backup, o banco de dados irá retornar ao ponto exato",
    "em que estava no dia em que o backup foi gerado.",
    "",
    "Com isso todos os dados incluídos, alterados ou excluídos",
    "após a geração do backup serão perdidos.",
    "",
    "Tenha certeza de estar restaurando um backup mais recente.",
    "Por padrão o nome de um backup segue o seguinte exemplo:",
    "",
    "BackupLX-2022-05-31.FBK",
    "onde 2022 é o ano, 05 o mês e 31 o dia em que o backup foi criado.",
};

class TFormServer_Restore : public TServerDialog {
  Q_OBJECT
 public:
  explicit TFormServer_Restore(TFormServer000& main);

  void BotaoOKClick();
  bool Running() const { return running_; }
  QStringList NoticeLines() const;

  QString fileChooserFolder;
  QLineEdit* frArquivo = nullptr;
  QToolButton* escolheArquivo = nullptr;
  QTextEdit* memo1 = nullptr;
  QPushButton* botaoOK = nullptr;
  QPushButton* botaoFechar = nullptr;

 public slots:
  void reject() override;  // not while a restore runs

 private:
  void AppendNotice(const QString& line);

  TFormServer000& main_;
  bool running_ = false;
};

}  // namespace livrexa::host

#include "host/window/form_server_restore.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "host/server_host.h"
#include "host/window/form_server000.h"
#include "host/window/message_boxes.h"

namespace livrexa::host {

TFormServer_Restore::TFormServer_Restore(TFormServer000& main) : TServerDialog(&main), main_(main) {
  setWindowTitle("Restaura cópia de segurança");
  auto* column = new QVBoxLayout(this);
  auto* group = new QGroupBox(" Nome do backup a ser restaurado ", this);
  auto* row = new QHBoxLayout(group);
  frArquivo = new QLineEdit(group);
  frArquivo->setObjectName("frArquivo");
  escolheArquivo = new QToolButton(group);
  escolheArquivo->setText("...");
  row->addWidget(frArquivo, 1);
  row->addWidget(escolheArquivo);
  column->addWidget(group);

  memo1 = new QTextEdit(this);
  memo1->setObjectName("Memo1");
  memo1->setReadOnly(true);
  for (const char* line : kRestoreNoticeLines) AppendNotice(QString::fromUtf8(line));
  column->addWidget(memo1, 1);

  botaoOK = NewButton("Restaurar", "Restaura o backup informado.");
  botaoFechar = NewButton("Fechar");
  column->addLayout(ButtonRow({}, {botaoOK, botaoFechar}));

  if (main_.Host()) fileChooserFolder = ToQt(main_.Host()->HomeFolderText() + "Backup");
  connect(escolheArquivo, &QToolButton::clicked, this, [this] {
    QString file = QFileDialog::getOpenFileName(
        this, "Backup", fileChooserFolder, "Backup do Banco de Dados (*.FBK *.fbk);;Todos os Arquivos (*.*)");
    if (!file.isEmpty()) frArquivo->setText(file);
  });
  connect(botaoOK, &QPushButton::clicked, this, [this] { BotaoOKClick(); });
  connect(botaoFechar, &QPushButton::clicked, this, &TFormServer_Restore::reject);
  FixSize(QSize(560, 460));
}

void TFormServer_Restore::AppendNotice(const QString& line) {
  memo1->append(line);
  memo1->setAlignment(Qt::AlignCenter);
}

QStringList TFormServer_Restore::NoticeLines() const {
  return memo1->toPlainText().split('\n');
}

void TFormServer_Restore::reject() {
  if (!running_) QDialog::reject();
}

void TFormServer_Restore::BotaoOKClick() {
  if (running_) return;
  if (frArquivo->text().trimmed().isEmpty()) {
    TMessageBoxes::Show(this, "O nome do arquivo de backup a ser restaurado precisa ser informado.");
    frArquivo->setFocus();
    return;
  }
  if (!main_.Host()) return;
  TServerHost& host = *main_.Host();
  if (const std::string refusal = host.RestoreRefusal(); !refusal.empty()) {
    TMessageBoxes::Show(this, ToQt(refusal));
    return;
  }
  running_ = true;
  botaoOK->setEnabled(false);
  botaoFechar->setEnabled(false);
  TTimePoint start = host.Clock().Now();
  AppendNotice("*** Início do Restore ***");
  AppendNotice(ToQt("Iniciou em: " + TimeText(start)));
  AppendNotice(" ");
  host.RunRestore(FromQt(frArquivo->text()), [this, &host, start] {
    TTimePoint end = host.Clock().Now();
    AppendNotice("");
    AppendNotice(ToQt("Terminou em: " + TimeText(end)));
    AppendNotice(ToQt("Tempo decorrido: " + ElapsedText(end - start)));
    running_ = false;
    main_.BotaoOKClick();
    accept();
  });
}

}  // namespace livrexa::host

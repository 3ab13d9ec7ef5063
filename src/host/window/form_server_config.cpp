#include "host/window/form_server_config.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "host/server_host.h"
#include "host/window/form_server000.h"
#include "host/window/form_server_restore.h"
#include "host/window/message_boxes.h"

namespace livrexa::host {
namespace {

QGroupBox* Group(QWidget* parent, const char* title, QWidget* box, QToolButton* chooser = nullptr) {
  auto* group = new QGroupBox(title, parent);
  auto* row = new QHBoxLayout(group);
  row->addWidget(box, 1);
  if (chooser) row->addWidget(chooser);
  return group;
}

QToolButton* ChooserButton(QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText("...");
  return button;
}

QLabel* RedCentredLabel(QWidget* parent, const char* text) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setStyleSheet("color: #ff5252;");
  return label;
}

}  // namespace

TFormServer_Config::TFormServer_Config(TFormServer000& main) : TServerDialog(&main), main_(main) {
  setWindowTitle("Configuração do Módulo Servidor");
  auto* column = new QVBoxLayout(this);

  frArquivo = new QLineEdit(this);
  frArquivo->setObjectName("frArquivo");
  escolheArquivo = ChooserButton(this);
  column->addWidget(Group(this, " Nome do Banco de Dados ", frArquivo, escolheArquivo));

  frPorta = new QSpinBox(this);
  frPorta->setObjectName("frPorta");
  frPorta->setRange(1, 9000);
  column->addWidget(Group(this, " Porta de comunicação entre os módulos do Livrexa ", frPorta));

  frHoraBackup = new QSpinBox(this);
  frHoraBackup->setObjectName("frHoraBackup");
  frHoraBackup->setRange(0, 23);
  column->addWidget(Group(this, " Horário para a geração automática do backup ", frHoraBackup));

  auto* folders = new QGroupBox(" Pastas em que o backup será gravado ", this);
  auto* folderRows = new QVBoxLayout(folders);
  frPastaBackup1 = new QLineEdit(folders);
  frPastaBackup1->setObjectName("frPastaBackup1");
  frPastaBackup2 = new QLineEdit(folders);
  frPastaBackup2->setObjectName("frPastaBackup2");
  for (QLineEdit* box : {frPastaBackup1, frPastaBackup2}) {
    auto* row = new QHBoxLayout;
    auto* chooser = ChooserButton(folders);
    row->addWidget(box, 1);
    row->addWidget(chooser);
    folderRows->addLayout(row);
    connect(chooser, &QToolButton::clicked, this, [this, box] {
      QString folder = QFileDialog::getExistingDirectory(this, "Pasta do backup", box->text().trimmed());
      if (!folder.isEmpty()) box->setText(folder);
    });
  }
  column->addWidget(folders);
  column->addWidget(RedCentredLabel(this, "Para a sua segurança, mantenha sempre uma cópia do backup em um"));
  column->addWidget(
      RedCentredLabel(this, "pendrive ou em um drive na nuvem, como o Google Drive ou Dropbox."));

  botaoOK = NewButton("Gravar", "Grava informações no banco de dados.");
  botaoRestore = NewButton("Restaurar", "Restaura Backup");
  botaoFechar = NewButton("Fechar");
  column->addLayout(ButtonRow({botaoRestore}, {botaoOK, botaoFechar}));

  connect(escolheArquivo, &QToolButton::clicked, this, [this] {
    QString file = QFileDialog::getOpenFileName(this, "Banco de Dados", fileChooserFolder,
                                                "Banco de Dados (*.FDB *.fdb);;Todos os Arquivos (*.*)");
    if (!file.isEmpty()) frArquivo->setText(file);
  });
  connect(botaoOK, &QPushButton::clicked, this, [this] { BotaoOKClick(); });
  connect(botaoRestore, &QPushButton::clicked, this, [this] { BotaoRestoreClick(); });
  connect(botaoFechar, &QPushButton::clicked, this, &QDialog::reject);

  openRestore = [this] {
    TFormServer_Restore restore(main_);
    restore.exec();
  };
  FixSize(QSize(560, 0));
  FormShow();
}

void TFormServer_Config::FormShow() {
  if (!main_.Host()) return;
  fileChooserFolder = ToQt(main_.Host()->HomeFolderText());
  TServerSettings values = main_.Host()->Settings().Get();
  frArquivo->setText(ToQt(values.vLocalDB));
  frPorta->setValue(values.vPorta);
  frHoraBackup->setValue(values.vHoraBackup);
  frPastaBackup1->setText(ToQt(values.vPastaBackup1));
  frPastaBackup2->setText(ToQt(values.vPastaBackup2));
}

void TFormServer_Config::BotaoOKClick() {
  auto refuse = [this](const char* message, QWidget* focus) {
    TMessageBoxes::Show(this, message);
    focus->setFocus();
  };
  if (frArquivo->text().trimmed().isEmpty())
    return refuse("O nome do banco de dados precisa ser informado.", frArquivo);
  if (frPastaBackup1->text().trimmed().isEmpty())
    return refuse("A pasta de destino do backup precisa ser informada.", frPastaBackup1);
  if (frPastaBackup1->text().trimmed() == frPastaBackup2->text().trimmed())
    return refuse("O nome das pastas de destino precisam ser diferentes.", frPastaBackup2);
  if (!main_.Host()) return;

  TServerSettings values;
  values.vLocalDB = FromQt(frArquivo->text());
  values.vPorta = frPorta->value();
  values.vHoraBackup = frHoraBackup->value();
  values.vPastaBackup1 = FromQt(frPastaBackup1->text());
  values.vPastaBackup2 = FromQt(frPastaBackup2->text());
  try {
    main_.Host()->SaveSettings(values);
  } catch (const std::exception& e) {
    TMessageBoxes::Show(this, ToQt(e.what()));  // a port in use: the dialog stays open
    return;
  }
  accept();
}

void TFormServer_Config::BotaoRestoreClick() {
  if (openRestore) openRestore();
  reject();
}

}  // namespace livrexa::host

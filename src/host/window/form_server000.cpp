#include "host/window/form_server000.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "host/server_host.h"
#include "host/window/form_server_config.h"
#include "host/window/form_server_login.h"
#include "host/window/log_font.h"
#include "host/window/message_boxes.h"

namespace livrexa::host {
namespace {
constexpr const char* kComputerNamePanelPrefix = "Nome desse computador: ";
// A computer name of the longest length the system allows (15 characters).
constexpr const char* kUsualComputerName = "BIBLIOTECA-0001";
}  // namespace

TWindowTimer::TWindowTimer(QObject* parent) : timer_(new QTimer(parent)) {
  timer_->setInterval(kBackupTimerIntervalMs);
}

TFormServer000::TFormServer000(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      jvTimer1_(this) {
  setObjectName("FormServer000");
  setWindowTitle(kFirstTitle);
  endProcess = [] { std::_Exit(0); };

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  auto* top = new QHBoxLayout;
  label1 = new QLabel("Qtd. de acessos ao banco de dados", central);
  frQtdAcessos = new QSpinBox(central);
  frQtdAcessos->setObjectName("frQtdAcessos");
  frQtdAcessos->setRange(INT_MIN, INT_MAX);
  frQtdAcessos->setValue(0);
  frQtdAcessos->setReadOnly(true);
  frQtdAcessos->setButtonSymbols(QAbstractSpinBox::NoButtons);
  frQtdAcessos->setMinimumWidth(110);
  botaoConfig = new QToolButton(central);
  botaoConfig->setObjectName("BotaoConfig");
  botaoConfig->setToolTip("Configuração");
  botaoConfig->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  botaoConfig->setText("Configuração");
  botaoConfig->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  top->addWidget(label1);
  top->addWidget(frQtdAcessos);
  top->addStretch();
  top->addWidget(botaoConfig);
  column->addLayout(top);
  memo1 = new QPlainTextEdit(central);
  memo1->setObjectName("Memo1");
  memo1->setReadOnly(true);
  memo1->setFont(LogFont());
  memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo1->viewport()->installEventFilter(this);
  column->addWidget(memo1, 1);
  setCentralWidget(central);

  statusPanel1 = new QLabel(this);
  statusPanel1->setFixedWidth(200);
  statusPanel2 = new QLabel(this);
  statusBar()->addWidget(statusPanel1);
  statusBar()->addWidget(statusPanel2);
  // Measured inside the status bar, whose style sheet rule gives the panels their padding.
  statusPanel2->setText(QString(kComputerNamePanelPrefix) + kUsualComputerName);
  statusPanel2->ensurePolished();
  statusPanel2->setFixedWidth(statusPanel2->sizeHint().width());
  statusPanel2->clear();
  statusBar()->setSizeGripEnabled(false);
  // A fixed size: window managers then offer no maximize button.
  setFixedSize(640, 420);

  evTrayIcon1 = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_DriveNetIcon), this);
  evTrayIcon1->setToolTip("Servidor do Livrexa");
  connect(evTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) EvTrayIcon1Click();
  });
  if (QSystemTrayIcon::isSystemTrayAvailable()) evTrayIcon1->show();

  connect(botaoConfig, &QToolButton::clicked, this, [this] { BotaoConfigClick(); });
  connect(jvTimer1_.Timer(), &QTimer::timeout, this, [this] {
    if (host_) host_->OnTimer();  // JvTimer1Timer
  });
}

void TFormServer000::Attach(TServerHost* host, TValidaLogin validaLogin) {
  host_ = host;
  validaLogin_ = std::move(validaLogin);
}

void TFormServer000::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void TFormServer000::ShowStatusPanels(const std::string& panel1, const std::string& panel2) {
  statusPanel1->setText(ToQt(panel1));
  statusPanel1->setToolTip(ToQt(panel1));
  statusPanel2->setText(ToQt(panel2));
  statusPanel2->setToolTip(ToQt(panel2));
  // A name longer than the usual ones widens the panel instead of being cut.
  statusPanel2->setFixedWidth(std::max(statusPanel2->width(), statusPanel2->sizeHint().width()));
}

void TFormServer000::ShowTitle(const std::string& title) {
  setWindowTitle(ToQt(title));
}

void TFormServer000::ShowMessage(const std::string& text) {
  TMessageBoxes::Show(this, ToQt(text));
}

void TFormServer000::AppendLogEntry(const std::string& entry) {
  // A CR inside an entry starts a new line of the same entry.
  memo1->appendPlainText(ToQt(entry).replace('\r', '\n'));
  memo1->verticalScrollBar()->setValue(memo1->verticalScrollBar()->maximum());
}

void TFormServer000::ClearLog() {
  memo1->clear();
}

void TFormServer000::AddRequestCount() {
  frQtdAcessos->setValue(frQtdAcessos->value() + 1);
}

void TFormServer000::FormShow() {
  if (!host_) return;
  try {
    host_->Start();  // FormShow
  } catch (const std::exception& e) {
    ShowMessage(e.what());
  }
}

bool TFormServer000::BotaoOKClick() {
  if (!host_) return false;
  try {
    host_->ApplySettings();  // BotaoOKClick
    return true;
  } catch (const std::exception& e) {
    ShowMessage(e.what());
    return false;
  }
}

void TFormServer000::BotaoConfigClick() {
  if (host_ && !host_->DatabaseFound()) return OpenSettings();
  TFormServer_Login login(*this);
  login.exec();
}

void TFormServer000::OpenSettings() {
  TFormServer_Config config(*this);
  config.exec();
}

void TFormServer000::EvTrayIcon1Click() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  showNormal();
  activateWindow();
}

void TFormServer000::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // After the window is on screen, as the start-up may open modal boxes.
  QMetaObject::invokeMethod(
      this, [this] { FormShow(); }, Qt::QueuedConnection);
}

void TFormServer000::closeEvent(QCloseEvent* event) {
  if (host_) host_->Shutdown();
  event->accept();
  if (endProcess) endProcess();
}

bool TFormServer000::eventFilter(QObject* watched, QEvent* event) {
  if (watched == memo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    Memo1DblClick();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace livrexa::host

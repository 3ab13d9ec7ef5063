#pragma once
// The server's main window: request counter, settings button, log, status bar and tray icon. It
// is the view of the shared start-up logic and the host thread that request threads post to.

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <string>

#include "host/host_thread.h"
#include "host/host_view.h"

class QLabel;
class QPlainTextEdit;
class QSpinBox;
class QSystemTrayIcon;
class QToolButton;

namespace livrexa::host {

class TServerHost;

// The backup timer on the window's thread.
class TWindowTimer : public THostTimer {
 public:
  explicit TWindowTimer(QObject* parent);
  void Enable() override { timer_->start(); }
  void Disable() override { timer_->stop(); }
  bool Enabled() const override { return timer_->isActive(); }
  QTimer* Timer() const { return timer_; }

 private:
  QTimer* timer_;
};

class TFormServer000 : public QMainWindow, public THostView, public THostThread {
  Q_OBJECT
 public:
  using TValidaLogin = std::function<std::string(const std::string& user, const std::string& password)>;

  explicit TFormServer000(QWidget* parent = nullptr);

  // The start-up logic and the administrator check; set before the window is shown.
  void Attach(TServerHost* host, TValidaLogin validaLogin);
  THostTimer& JvTimer1() { return jvTimer1_; }
  TServerHost* Host() const { return host_; }
  const TValidaLogin& ValidaLogin() const { return validaLogin_; }

  // THostThread: runs the task on the window's thread, after those posted before it.
  void Post(std::function<void()> task) override;

  // THostView
  void ShowStatusPanels(const std::string& panel1, const std::string& panel2) override;
  void ShowTitle(const std::string& title) override;
  void ShowMessage(const std::string& text) override;
  // The settings dialog without the login: there is no administrator to check without a database.
  void OpenSettings() override;
  void AppendLogEntry(const std::string& entry) override;
  void ClearLog() override;
  void AddRequestCount() override;

  // Window reactions.
  void FormShow();
  bool BotaoOKClick();  // false when the listener could not start (the error is shown)
  // The administrator login, or the settings dialog at once when the database file is not found.
  void BotaoConfigClick();
  void Memo1DblClick() { ClearLog(); }
  void EvTrayIcon1Click();

  // Ends the process once the listener is off (replaced by tests).
  std::function<void()> endProcess;

  QLabel* label1 = nullptr;
  QSpinBox* frQtdAcessos = nullptr;
  QToolButton* botaoConfig = nullptr;
  QPlainTextEdit* memo1 = nullptr;
  QLabel* statusPanel1 = nullptr;
  QLabel* statusPanel2 = nullptr;
  QSystemTrayIcon* evTrayIcon1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;  // FormClose
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TServerHost* host_ = nullptr;
  TValidaLogin validaLogin_;
  TWindowTimer jvTimer1_;
  bool shown_ = false;
};

}  // namespace livrexa::host

#pragma once
// Base of the administrator dialogs: modal, no title-bar buttons, Escape closes, Enter moves to
// the next field (and presses a button that has the focus).

#include <QDialog>

namespace livrexa::host {

class TServerDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TServerDialog(QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace livrexa::host

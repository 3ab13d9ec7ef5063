#include "host/window/server_dialog.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace livrexa::host {

TServerDialog::TServerDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setModal(true);
}

void TServerDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget()))
      button->click();
    else
      focusNextChild();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape closes
}

}  // namespace livrexa::host

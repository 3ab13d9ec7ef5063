#include "host/window/server_dialog.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

namespace livrexa::host {

TServerDialog::TServerDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setModal(true);
}

int TServerDialog::TitleTextWidth() const {
  QFont bold = font();
  bold.setBold(true);
  return QFontMetrics(bold).horizontalAdvance(windowTitle());
}

void TServerDialog::FixSize(QSize size) {
  size = size.expandedTo(sizeHint()).expandedTo(QSize(TitleTextWidth() + kTitleBarRoom, 0));
  setFixedSize(size);
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

QPushButton* TServerDialog::NewButton(const QString& text, const QString& hint) {
  auto* button = new QPushButton(text, this);
  if (!hint.isEmpty()) button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

QHBoxLayout* TServerDialog::ButtonRow(std::initializer_list<QPushButton*> left,
                                      std::initializer_list<QPushButton*> right) {
  auto* row = new QHBoxLayout;
  for (QPushButton* b : left) row->addWidget(b);
  row->addStretch();
  for (QPushButton* b : right) row->addWidget(b);
  return row;
}

}  // namespace livrexa::host

#include "host/window/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace livrexa::host {
namespace {
TMessageBoxes::TObserver& Observer() {
  static TMessageBoxes::TObserver observer;
  return observer;
}
}  // namespace

void TMessageBoxes::Show(QWidget* parent, const QString& text) {
  if (Observer()) {
    Observer()(parent, text);
    return;
  }
  QMessageBox box(QMessageBox::Information, QApplication::applicationName(),
                  QString(text).replace('\r', '\n'), QMessageBox::Ok, parent);
  box.exec();
}

void TMessageBoxes::SetObserver(TObserver observer) {
  Observer() = std::move(observer);
}

QString ToQt(const std::string& text) {
  return QString::fromStdString(text);
}

std::string FromQt(const QString& text) {
  return text.toStdString();
}

}  // namespace livrexa::host

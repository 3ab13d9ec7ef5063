#pragma once
// Base of the administrator dialogs: modal, no title-bar buttons, Escape closes, Enter moves to
// the next field (and presses a button that has the focus).

#include <QDialog>
#include <initializer_list>

class QHBoxLayout;
class QPushButton;

namespace livrexa::host {

class TServerDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TServerDialog(QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

  // A button with its hint; Enter moves between fields instead of pressing a default button.
  QPushButton* NewButton(const QString& text, const QString& hint = {});
  // The dialog's button row: `left` at the left edge, `right` at the right edge.
  static QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> left,
                                std::initializer_list<QPushButton*> right);
};

}  // namespace livrexa::host

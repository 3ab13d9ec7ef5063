#pragma once
// Base of the administrator dialogs: modal, no title-bar buttons, a fixed size, Escape closes,
// Enter moves to the next field (and presses a button that has the focus).

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
  // Fixes the dialog's size (window managers then offer neither resizing nor maximizing), at
  // least `size` and wide enough for the whole title in a window manager's bold title font.
  void FixSize(QSize size);

 public:
  // The room a title bar needs beside its text: the window manager's icon, buttons and margins.
  static constexpr int kTitleBarRoom = 160;
  int TitleTextWidth() const;
};

}  // namespace livrexa::host

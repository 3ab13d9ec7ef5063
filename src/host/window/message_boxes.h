#pragma once
// Every message box of the server goes through here, so tests can watch them instead of a modal
// box waiting for a click.

#include <QString>
#include <functional>

class QWidget;

namespace livrexa::host {

class TMessageBoxes {
 public:
  using TObserver = std::function<void(QWidget* parent, const QString& text)>;

  static void Show(QWidget* parent, const QString& text);
  // While an observer is set it receives the messages and no box is shown.
  static void SetObserver(TObserver observer);
};

// A text of ours (UTF-8, CR as line break) for a Qt widget.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);

}  // namespace livrexa::host

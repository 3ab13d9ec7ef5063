#include "host/window/cyan_night.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace livrexa::host {

void ApplyCyanNight(QApplication& app) {
  if (QStyle* fusion = QStyleFactory::create("Fusion")) app.setStyle(fusion);
  const QColor night(0x12, 0x1c, 0x24), panel(0x1a, 0x28, 0x33), base(0x0d, 0x15, 0x1b);
  const QColor text(0xd8, 0xf3, 0xf6), cyan(0x00, 0xbc, 0xd4), dim(0x6b, 0x86, 0x8f);
  QPalette palette;
  palette.setColor(QPalette::Window, night);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, panel);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, panel);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::Highlight, cyan);
  palette.setColor(QPalette::HighlightedText, base);
  palette.setColor(QPalette::ToolTipBase, panel);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, dim);
  palette.setColor(QPalette::Link, cyan);
  palette.setColor(QPalette::Disabled, QPalette::Text, dim);
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
  palette.setColor(QPalette::Disabled, QPalette::WindowText, dim);
  app.setPalette(palette);
  // Spin boxes are left to the style, which draws their arrows in the palette's colours: a style
  // sheet border would make the sheet draw them, dark on dark. The file chooser's small tool
  // buttons get no padding, which would leave no room for their icons.
  app.setStyleSheet(
      "QGroupBox { border: 1px solid #00838f; border-radius: 4px; margin-top: 10px; padding-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 8px; color: #4dd0e1; }"
      "QPushButton, QToolButton { border: 1px solid #00838f; border-radius: 3px; padding: 4px 12px;"
      "  background: #1a2833; }"
      "QPushButton:hover, QToolButton:hover { background: #00606b; }"
      "QPushButton:focus, QToolButton:focus { border-color: #4dd0e1; }"
      "QFileDialog QToolButton { padding: 1px; }"
      "QLineEdit, QPlainTextEdit { border: 1px solid #2f4a57; border-radius: 3px; background: #0d151b;"
      "  selection-background-color: #00bcd4; }"
      "QLineEdit:focus { border-color: #00bcd4; }"
      "QStatusBar { background: #0d151b; color: #80deea; }"
      "QStatusBar QLabel { border: 1px solid #2f4a57; padding: 0 4px; }"
      "QToolTip { border: 1px solid #00bcd4; }");
}

}  // namespace livrexa::host

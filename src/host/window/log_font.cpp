#include "host/window/log_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace livrexa::host {
namespace {

bool ResolvesFixed(const QString& family, int pointSize) {
  QFont font(family, pointSize);
  font.setStyleHint(QFont::TypeWriter);
  const QFontInfo info(font);
  return info.fixedPitch() && info.family().compare(family, Qt::CaseInsensitive) == 0;
}

}  // namespace

QFont LogFont() {
  const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  const int pointSize = system.pointSize() > 0 ? system.pointSize() : 10;
  QStringList candidates = {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Nimbus Mono PS",
                            "Courier New"};
  for (const QString& family : QFontDatabase::families())
    if (QFontDatabase::isFixedPitch(family) && !candidates.contains(family)) candidates << family;
  for (const QString& family : candidates) {
    if (!ResolvesFixed(family, pointSize)) continue;
    QFont font(family, pointSize);
    font.setStyleHint(QFont::TypeWriter);
    return font;
  }
  return system;
}

}  // namespace livrexa::host

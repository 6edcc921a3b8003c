#include "ui/backends/qt/qt_controls.h"

#include <QFontMetrics>
#include <QLocale>

namespace ui::qt {

void NotifyingComboBox::showPopup() {
  if (before_popup) before_popup();
  QComboBox::showPopup();
}

void NotifyingComboBox::hidePopup() {
  QComboBox::hidePopup();
  if (after_popup) after_popup();
}

QFont DialogFont() {
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_x_ = (width / 26 + 1) / 2;
  base_y_ = metrics.height();
}

QString ShortDateFormat() {
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  // A statement period needs the full year, whatever the locale abbreviates.
  if (!format.contains(QStringLiteral("yyyy"))) format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  return format;
}

}  // namespace ui::qt

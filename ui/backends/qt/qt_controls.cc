#include "ui/backends/qt/qt_controls.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

namespace ui::qt {

void NotifyingComboBox::showPopup() {
  if (before_popup) before_popup();
  QComboBox::showPopup();
}

void NotifyingComboBox::hidePopup() {
  QComboBox::hidePopup();
  if (after_popup) after_popup();
}

void TabControl::paintEvent(QPaintEvent* event) {
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  const int tabs_height = count() > 0 ? tabRect(0).height() : 0;
  frame.rect = rect().adjusted(0, tabs_height - 1, 0, 0);
  frame.shape = shape();
  frame.tabBarSize = QSize(count() > 0 ? tabRect(count() - 1).right() + 1 : 0, tabs_height);
  frame.tabBarRect = QRect(0, 0, frame.tabBarSize.width(), tabs_height);
  QStylePainter painter(this);
  painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
  painter.end();
  QTabBar::paintEvent(event);
}

QString ShortenAtStart(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  const int scheme_end = text.indexOf(QStringLiteral("://"));
  const QString kept = scheme_end > 0 ? text.left(scheme_end + 3) : QString();
  const QString ellipsis(QChar(0x2026));
  QString rest = text.mid(kept.size());
  while (!rest.isEmpty() && metrics.horizontalAdvance(kept + ellipsis + rest) > width) rest.remove(0, 1);
  return kept + ellipsis + rest;
}

void ShortenedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  const QRect area = contentsRect();
  painter.drawText(area, static_cast<int>(alignment()) | Qt::TextSingleLine,
                   ShortenAtStart(text(), fontMetrics(), area.width()));
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

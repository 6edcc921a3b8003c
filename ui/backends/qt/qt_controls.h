// Qt widgets for the controls of a dialog template.
#pragma once

#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QString>
#include <QTabBar>
#include <functional>

namespace ui::qt {

// A combo box that reports when its list drops down and closes, as the
// dialogs' drop-down notifications need.
class NotifyingComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> before_popup;
  std::function<void()> after_popup;

  void showPopup() override;
  void hidePopup() override;
};

// A tab control: the tabs along its top edge and, below them, the frame of
// the page that the dialog's other controls fill.
class TabControl : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A one-line label that, when its text is too wide, shows its end: the
// characters after a leading "scheme://" give way from their start to "…".
// The text itself (and so what assistive technology reads) stays whole.
class ShortenedLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// `text` as ShortenedLabel draws it in `width` pixels.
QString ShortenAtStart(const QString& text, const QFontMetrics& metrics, int width);

// The template font: "MS Sans Serif" at 8 points, or the closest sans-serif
// face the system has.
QFont DialogFont();

// Converts dialog units to pixels with the base units of a font, the way
// Windows lays out dialog templates.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int X(int units) const { return (units * base_x_ + 2) / 4; }
  int Y(int units) const { return (units * base_y_ + 4) / 8; }

 private:
  int base_x_;
  int base_y_;
};

// The locale's short date format with the year in four digits.
QString ShortDateFormat();

}  // namespace ui::qt

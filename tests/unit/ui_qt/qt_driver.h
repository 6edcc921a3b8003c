// Plays the user on real Qt dialogs: actions wait (in the event loop that the
// modal dialog runs) until the expected window is the active modal one.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <functional>

namespace ui_qt_test {

// Runs `act` on the modal window named `name` once it is shown; fails the
// test and closes whatever is modal when it does not show within 5 seconds.
inline void WhenShown(const QString& name, std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->objectName() == name && modal->isVisible()) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      act(modal);
      return;
    }
    if (clock->elapsed() > 5000) {
      timer->stop();
      timer->deleteLater();
      delete clock;
      ADD_FAILURE() << "window " << name.toStdString() << " did not show";
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    }
  });
  timer->start(10);
}

template <class W>
W* Child(QWidget* window, int id) {
  W* w = window->findChild<W*>(QStringLiteral("item-%1").arg(id));
  EXPECT_NE(w, nullptr) << "control " << id;
  return w;
}

// Types text one character at a time as key events that carry the text, which
// also works for letters outside Latin-1.
inline void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

}  // namespace ui_qt_test

// Plays the user on real Qt dialogs: actions wait (in the event loop that the
// modal dialog runs) until the expected window is the active modal one.
//
// A dialog test must fail within seconds and never hang: when an expected
// window does not show in time, the test fails and from then on every
// top-level window is closed as soon as it shows, so the nested modal loops
// unwind however far the dialogs had got. FinishTest (the fixture's TearDown)
// stops that, and fails for watchers whose window never came.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace ui_qt_test {

constexpr int kShowDeadlineMs = 10000;

// Closes every visible top-level window: dialogs end their modal loop at once,
// whatever their own cancel handling would do.
inline void CloseEveryWindow() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible()) continue;
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
      dialog->done(QDialog::Rejected);
    } else {
      window->close();
    }
  }
}

namespace detail {

struct Watcher {
  QString name;
  std::unique_ptr<QTimer> timer;
};

inline std::vector<std::unique_ptr<Watcher>>& Watchers() {
  static std::vector<std::unique_ptr<Watcher>> watchers;
  return watchers;
}

inline std::unique_ptr<Watcher> Take(Watcher* watcher) {
  auto& all = Watchers();
  for (auto it = all.begin(); it != all.end(); ++it) {
    if (it->get() != watcher) continue;
    std::unique_ptr<Watcher> taken = std::move(*it);
    all.erase(it);
    return taken;
  }
  return nullptr;
}

inline QPointer<QTimer>& Closer() {
  static QPointer<QTimer> closer;
  return closer;
}

}  // namespace detail

// After a failure: closes every window that shows until FinishTest.
inline void CloseWindowsUntilTheTestEnds() {
  QPointer<QTimer>& closer = detail::Closer();
  if (closer.isNull()) {
    closer = new QTimer;
    QObject::connect(closer.data(), &QTimer::timeout, [] { CloseEveryWindow(); });
    closer->start(10);
  }
  CloseEveryWindow();
}

// Ends the test's dialog driving: watchers still waiting are failures, and the
// window closer stops so that the next test starts clean.
inline void FinishTest() {
  for (const auto& watcher : detail::Watchers()) {
    ADD_FAILURE() << "window " << watcher->name.toStdString() << " was expected but never shown";
  }
  detail::Watchers().clear();
  CloseEveryWindow();
  delete detail::Closer().data();
}

// Runs `act` on the modal window named `name` once it is shown. When it does
// not show within the deadline, the test fails and every window is closed.
// Arm a watcher only when its window is due (from the act of the window that
// opens it), so that its deadline counts from then.
inline void WhenShown(const QString& name, std::function<void(QWidget*)> act) {
  auto owned = std::make_unique<detail::Watcher>();
  detail::Watcher* watcher = owned.get();
  watcher->name = name;
  watcher->timer = std::make_unique<QTimer>();
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(watcher->timer.get(), &QTimer::timeout, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->objectName() == name && modal->isVisible()) {
      std::unique_ptr<detail::Watcher> done = detail::Take(watcher);
      done->timer->stop();
      done->timer.release()->deleteLater();  // this slot is running on it
      act(modal);
      return;
    }
    if (clock->elapsed() > kShowDeadlineMs) {
      std::unique_ptr<detail::Watcher> expired = detail::Take(watcher);
      expired->timer->stop();
      expired->timer.release()->deleteLater();
      ADD_FAILURE() << "window " << name.toStdString() << " did not show";
      CloseWindowsUntilTheTestEnds();
    }
  });
  watcher->timer->start(10);
  detail::Watchers().push_back(std::move(owned));
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

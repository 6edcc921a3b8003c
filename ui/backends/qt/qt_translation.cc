#include "ui/backends/qt/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include "ui/resources/strings.h"

namespace ui::qt {

void FollowUiLanguage(uint16_t language) {
  // Owned by the application, so that it goes with it.
  static QPointer<QTranslator> russian;
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) return;
  if (language != kLangRussian) {
    if (russian) QCoreApplication::removeTranslator(russian);
    return;
  }
  if (!russian) {
    auto* translator = new QTranslator(application);
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
      delete translator;
      return;
    }
    russian = translator;
  }
  // Installing it again only moves it first; its texts are the same.
  QCoreApplication::installTranslator(russian);
}

}  // namespace ui::qt

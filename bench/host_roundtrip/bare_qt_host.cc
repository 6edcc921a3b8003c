// The yardsticks for velixhost's round trip: a bare Qt program that does the
// same framing (read one framed body, echo it framed) and nothing else; a
// Widgets application, or with VELIX_BARE_CORE a QCoreApplication (no GUI).
#ifdef VELIX_BARE_CORE
#include <QCoreApplication>
using BareApplication = QCoreApplication;
#else
#include <QApplication>
using BareApplication = QApplication;
#endif
#include <QByteArray>
#include <QTimer>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  BareApplication application(argc, argv);
  QTimer::singleShot(0, &application, [&application] {
    uint32_t length = 0;
    // Short reads are left as velixhost leaves them: zero bytes stay zero.
    [[maybe_unused]] const size_t length_bytes = std::fread(&length, 1, sizeof length, stdin);
    QByteArray body(static_cast<int>(length), '\0');
    [[maybe_unused]] const size_t body_bytes = std::fread(body.data(), 1, length, stdin);
    std::fwrite(&length, 1, sizeof length, stdout);
    std::fwrite(body.constData(), 1, length, stdout);
    std::fflush(stdout);
    application.quit();
  });
  return application.exec();
}

// The yardstick for velixhost's round trip: a bare Qt Widgets program that
// does the same framing (read one framed body, echo it framed) and nothing else.
#include <QApplication>
#include <QByteArray>
#include <QTimer>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QTimer::singleShot(0, &application, [&application] {
    uint32_t length = 0;
    (void)std::fread(&length, 1, sizeof length, stdin);
    QByteArray body(static_cast<int>(length), '\0');
    (void)std::fread(body.data(), 1, length, stdin);
    std::fwrite(&length, 1, sizeof length, stdout);
    std::fwrite(body.constData(), 1, length, stdout);
    std::fflush(stdout);
    application.quit();
  });
  return application.exec();
}

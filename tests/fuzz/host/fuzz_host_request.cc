// Request parsing: any bytes as a request body must give a compact JSON
// object with the five response keys.
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdlib.h>

#include "host/host_request.h"

namespace {
void discard(QtMsgType, const QMessageLogContext&, const QString&) {}
}  // namespace

// Qt 5's JSON parser loses a few bytes on an object with a repeated key whose
// value is an object; one request per process makes that harmless in the host.
// Full stacks at allocation let the leak checker see the parser's frame.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:QJsonDocument::fromJson\n"; }

// Actions such as "useScreenKbd" save settings: they go to a registry of the
// fuzzer's own, never the user's. No dialog backend is installed, so a
// signing action fails at once like a cancelled dialog.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qInstallMessageHandler(discard);
  char config[] = "/tmp/fuzz_host_request.XXXXXX";
  if (mkdtemp(config) == nullptr) std::abort();
  setenv("XDG_CONFIG_HOME", config, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray body(reinterpret_cast<const char*>(data), static_cast<int>(size));
  const QByteArray response = process_host_request(body);
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(response, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) std::abort();
  const QJsonObject object = document.object();
  if (object.size() != 5 || !object.value("result").isObject() || !object.value("uid").isString() ||
      !object.value("type").isString() || !object.value("action").isString())
    std::abort();
  const int code = object.value("error").toInt(-1);
  if (code != 0 && code != 5 && code != 1001) std::abort();
  if (response.contains('\n')) std::abort();  // compact form
  return 0;
}

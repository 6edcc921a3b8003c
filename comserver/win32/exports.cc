// The entry points of the in-process server, exported by name through
// velixcom.def.
#include "comserver/com_api.h"
#include "comserver/module.h"
#include "comserver/registration.h"
#include "comserver/win32/dialogs.h"

namespace {

// Registration runs under the system's default locale, whatever the
// calling thread's, and gives the thread its own back afterwards.
class SystemLocale {
 public:
  SystemLocale() : saved_(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
  ~SystemLocale() { SetThreadLocale(saved_); }
  SystemLocale(const SystemLocale&) = delete;
  SystemLocale& operator=(const SystemLocale&) = delete;

 private:
  LCID saved_;
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  // Every object comes through here: its dialogs are ready before it is.
  use_win32_dialogs();
  return module_object().GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return module_object().CanUnloadNow(); }

STDAPI DllRegisterServer() {
  SystemLocale locale;
  return register_server();
}

STDAPI DllUnregisterServer() {
  SystemLocale locale;
  return unregister_server();
}

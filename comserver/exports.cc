// The four entry points of the in-process server.
#include "comserver/module.h"
#include "comserver/registration.h"

#define VELIXCOM_EXPORT extern "C" __attribute__((visibility("default"))) HRESULT STDMETHODCALLTYPE

VELIXCOM_EXPORT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return module_object().GetClassObject(rclsid, riid, ppv);
}

VELIXCOM_EXPORT DllCanUnloadNow() { return module_object().CanUnloadNow(); }

VELIXCOM_EXPORT DllRegisterServer() { return register_server(); }

VELIXCOM_EXPORT DllUnregisterServer() { return unregister_server(); }

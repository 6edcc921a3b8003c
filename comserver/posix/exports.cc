// The entry points of the in-process server: the four of COM, and the one
// through which the loading process supplies the dialogs.
#include <type_traits>

#include "comserver/dialog_backend_export.h"
#include "comserver/module.h"
#include "comserver/registration.h"
#include "ui/load_string.h"

#define VELIXCOM_EXPORT extern "C" __attribute__((visibility("default"))) HRESULT STDMETHODCALLTYPE

VELIXCOM_EXPORT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return module_object().GetClassObject(rclsid, riid, ppv);
}

VELIXCOM_EXPORT DllCanUnloadNow() { return module_object().CanUnloadNow(); }

VELIXCOM_EXPORT DllRegisterServer() { return register_server(); }

VELIXCOM_EXPORT DllUnregisterServer() { return unregister_server(); }

extern "C" __attribute__((visibility("default"))) void VelixcomUseDialogBackend(ui::DialogBackend* dialogs,
                                                                               ui::MessageBoxBackend* boxes) {
  ui::InstallResourceStrings();
  ui::SetDialogBackend(dialogs);
  ui::SetMessageBoxBackend(boxes);
}

static_assert(std::is_same_v<decltype(&VelixcomUseDialogBackend), VelixcomUseDialogBackendFunction>);

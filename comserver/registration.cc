// DllRegisterServer and DllUnregisterServer: the application id script, the
// class script with the module's path, and the type library.
#include "comserver/registration.h"

#include <filesystem>
#include <string>

#include "comserver/module.h"
#include "comserver/registrar.h"
#include "comserver/type_library.h"

namespace {

// The longest path GetModuleFileName hands out, the NUL included.
constexpr size_t kMaxModulePath = 260;

}  // namespace

HRESULT register_server() {
  const Replacements common = common_replacements();
  HRESULT hr = run_script(application_script(), common, true);
  if (FAILED(hr)) return hr;

  const std::string module = module_object().ModuleFileName();
  if (module.empty()) return E_UNEXPECTED;
  if (module.size() >= kMaxModulePath) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  // The registrar takes texts as they are: the path needs no quoting.
  Replacements with_module = common;
  with_module["MODULE"] = module;
  hr = run_script(class_script(), with_module, true);
  if (FAILED(hr)) return hr;

  const std::string directory = std::filesystem::path(module).parent_path().string();
  return register_type_library(module, directory);
}

HRESULT unregister_server() {
  const Replacements common = common_replacements();
  HRESULT hr = run_script(class_script(), common, false);
  if (FAILED(hr)) return hr;
  hr = unregister_type_library();
  if (FAILED(hr) && hr != TYPE_E_LIBNOTREGISTERED) return hr;
  return run_script(application_script(), common, false);
}

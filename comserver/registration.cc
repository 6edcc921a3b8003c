// DllRegisterServer and DllUnregisterServer: the application id script, the
// class script with the module's path, and the type library.
#include "comserver/registration.h"

#include <optional>
#include <string>

#include "comserver/module.h"
#include "comserver/registrar.h"
#include "comserver/type_library.h"

namespace {

// The longest path GetModuleFileName hands out, the NUL included.
constexpr size_t kMaxModulePath = 260;

// The folder of a file, as its path spells it.
std::string folder_of(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return {};
  return path.substr(0, cut == 0 ? 1 : cut);
}

}  // namespace

HRESULT register_server() {
  const Replacements common = common_replacements();
  HRESULT hr = run_script(application_script(), common, true);
  if (FAILED(hr)) return hr;

  const std::string module = module_object().ModuleFileName();
  if (module.empty()) return E_UNEXPECTED;
  // A path the registry's text cannot hold is refused: a server registered
  // under a mangled path could never be loaded.
  const std::optional<std::string> module_text = registry_text_of_path(module);
  if (!module_text) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  if (module_text->size() >= kMaxModulePath) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  // The registrar takes texts as they are: the path needs no quoting.
  Replacements with_module = common;
  with_module["MODULE"] = *module_text;
  hr = run_script(class_script(), with_module, true);
  if (FAILED(hr)) return hr;

  return register_type_library(module, folder_of(module));
}

HRESULT unregister_server() {
  const Replacements common = common_replacements();
  HRESULT hr = run_script(class_script(), common, false);
  if (FAILED(hr)) return hr;
  hr = unregister_type_library();
  if (FAILED(hr) && hr != TYPE_E_LIBNOTREGISTERED) return hr;
  return run_script(application_script(), common, false);
}

// The type library through OLE automation: loaded from the server's own
// TYPELIB resource and registered by the system.
#include "comserver/type_library.h"

#include <string>

#include "comserver/guids.h"
#include "platform/codepage.h"

namespace {

std::wstring wide(const std::string& utf8) {
  const std::u16string text = platform::utf8_to_utf16(utf8);
  return std::wstring(text.begin(), text.end());
}

constexpr SYSKIND kSystemKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

}  // namespace

HRESULT register_type_library(const std::string& library_file, const std::string& help_directory) {
  std::wstring file = wide(library_file);
  std::wstring directory = wide(help_directory);
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(file.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  hr = RegisterTypeLib(library, file.data(), directory.data());
  library->Release();
  return hr;
}

HRESULT unregister_type_library() {
  // Asked first: UnRegisterTypeLib has no result of its own for a library
  // that is not registered, and unregistering twice is no failure.
  BSTR registered = nullptr;
  if (FAILED(QueryPathOfRegTypeLib(LIBID_velixcomLib2, 1, 0, LANG_NEUTRAL, &registered)))
    return TYPE_E_LIBNOTREGISTERED;
  SysFreeString(registered);
  return UnRegisterTypeLib(LIBID_velixcomLib2, 1, 0, LANG_NEUTRAL, kSystemKind);
}

// The type library as RegisterTypeLib would record it, written into the
// emulated HKEY_CLASSES_ROOT from the library's own description.
#include "comserver/type_library.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "comserver/posix/type_library_lookup.h"
#include "platform/registry.h"

namespace {

using platform::RegHive;
using platform::RegKey;

std::string registry_form(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return std::string(text, text + 38);
}

// The system kind of the library's code.
constexpr const char* kSystemKind = sizeof(void*) == 8 ? "win64" : "win32";

std::string version_key(const LibraryDescription& library) {
  char version[32];
  std::snprintf(version, sizeof version, "%x.%x", library.major_version, library.minor_version);
  return "TypeLib\\" + registry_form(*library.libid) + "\\" + version;
}

std::string locale_key(const LibraryDescription& library) {
  char lcid[16];
  std::snprintf(lcid, sizeof lcid, "%x", static_cast<unsigned>(library.lcid));
  return version_key(library) + "\\" + lcid + "\\" + kSystemKind;
}

long set_text(RegHive hive, const std::string& key, const char* name, const std::string& text) {
  RegKey k;
  long error = k.Create(hive, key);
  if (error != platform::kRegOk) return error;
  return k.SetValue(name, platform::kRegSz, text.c_str(), static_cast<uint32_t>(text.size() + 1));
}

}  // namespace

HRESULT register_type_library(const std::string& library_file, const std::string& help_directory) {
  const LibraryDescription& library = velixcom_type_library();
  const RegHive hive = RegHive::kClassesRoot;
  const std::string libid = registry_form(*library.libid);
  char version[32];
  std::snprintf(version, sizeof version, "%u.%u", library.major_version, library.minor_version);
  const std::string interface_key = "Interface\\" + registry_form(*library.default_interface->iid);
  const std::string proxy = registry_form(CLSID_PSOAInterface);
  const struct {
    std::string key;
    const char* name;
    std::string text;
  } values[] = {
      {version_key(library), "", library.help},
      {version_key(library) + "\\FLAGS", "", "0"},
      {locale_key(library), "", library_file},
      {version_key(library) + "\\HELPDIR", "", help_directory},
      {interface_key, "", library.default_interface->name},
      {interface_key + "\\ProxyStubClsid", "", proxy},
      {interface_key + "\\ProxyStubClsid32", "", proxy},
      {interface_key + "\\TypeLib", "", libid},
      {interface_key + "\\TypeLib", "Version", version},
  };
  for (const auto& v : values) {
    const long error = set_text(hive, v.key, v.name, v.text);
    if (error != platform::kRegOk) return HRESULT_FROM_WIN32(error);
  }
  return S_OK;
}

HRESULT unregister_type_library() {
  const LibraryDescription& library = velixcom_type_library();
  RegKey root;
  long error = root.Open(RegHive::kClassesRoot, "");
  if (error == platform::kRegNotFound) return TYPE_E_LIBNOTREGISTERED;
  if (error != platform::kRegOk) return HRESULT_FROM_WIN32(error);
  {
    RegKey registered;
    if (registered.Open(RegHive::kClassesRoot, locale_key(library)) != platform::kRegOk)
      return TYPE_E_LIBNOTREGISTERED;
  }
  const std::string interface_key = "Interface\\" + registry_form(*library.default_interface->iid);
  for (const std::string& key : {interface_key, version_key(library)}) {
    error = root.DeleteTree(key);
    if (error != platform::kRegOk && error != platform::kRegNotFound) return HRESULT_FROM_WIN32(error);
  }
  // The library's own key goes when no other version is left under it.
  error = root.DeleteSubKey("TypeLib\\" + registry_form(*library.libid));
  if (error != platform::kRegOk && error != platform::kRegNotFound && error != platform::kRegAccessDenied)
    return HRESULT_FROM_WIN32(error);
  return S_OK;
}

HRESULT load_registered_type_library(const LibraryDescription& library) {
  RegKey key;
  if (key.Open(RegHive::kClassesRoot, locale_key(library)) != platform::kRegOk) return TYPE_E_LIBNOTREGISTERED;
  char path[4096];
  uint32_t size = sizeof path;
  uint32_t type = 0;
  if (key.QueryValue("", &type, path, &size) != platform::kRegOk || type != platform::kRegSz || size == 0)
    return TYPE_E_LIBNOTREGISTERED;
  const std::string registered(path, size - 1);
  // Every copy of the server carries the same library as a resource; what
  // matters is that the registered file is there to load it from.
  std::error_code error;
  return std::filesystem::is_regular_file(registered, error) ? S_OK : TYPE_E_CANTLOADLIBRARY;
}

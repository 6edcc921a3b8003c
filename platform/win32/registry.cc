// The registry through the Win32 registry API. Names and string data pass
// through the ANSI functions, as the rest of the system sees them.
#include "platform/registry.h"

#include <string>

#include "platform/reg_file.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

HKEY root_of(RegHive hive) { return hive == RegHive::kClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER; }

HKEY as_key(void* handle) { return static_cast<HKEY>(handle); }

}  // namespace

RegKey::RegKey(RegKey&& other) noexcept
    : hive_(other.hive_), path_(std::move(other.path_)), open_(other.open_), handle_(other.handle_) {
  other.open_ = false;
  other.handle_ = nullptr;
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    hive_ = other.hive_;
    path_ = std::move(other.path_);
    open_ = other.open_;
    handle_ = other.handle_;
    other.open_ = false;
    other.handle_ = nullptr;
  }
  return *this;
}

long RegKey::Open(RegHive hive, std::string_view path) {
  Close();
  if (!valid_reg_path(path)) return kRegInvalidParameter;
  HKEY key = nullptr;
  const std::string name(path);
  LONG result = RegOpenKeyExA(root_of(hive), name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  // Keys of the machine (what HKCR shows from HKLM) are read-only to most
  // users: reading them must still work.
  if (result == ERROR_ACCESS_DENIED) result = RegOpenKeyExA(root_of(hive), name.c_str(), 0, KEY_READ, &key);
  if (result != ERROR_SUCCESS) return result;
  hive_ = hive;
  path_ = name;
  open_ = true;
  handle_ = key;
  return kRegOk;
}

long RegKey::Create(RegHive hive, std::string_view path) {
  Close();
  if (!valid_reg_path(path)) return kRegInvalidParameter;
  HKEY key = nullptr;
  const std::string name(path);
  const LONG result = RegCreateKeyExA(root_of(hive), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return result;
  hive_ = hive;
  path_ = name;
  open_ = true;
  handle_ = key;
  return kRegOk;
}

void RegKey::Close() {
  if (handle_ != nullptr) RegCloseKey(as_key(handle_));
  handle_ = nullptr;
  open_ = false;
  path_.clear();
}

// The system's registry stores each change by itself; a batch has nothing
// to hold back.
RegBatch::RegBatch() = default;
RegBatch::~RegBatch() = default;

long RegKey::Check() const { return open_ ? kRegOk : kRegInvalidHandle; }

long RegKey::QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const {
  if (const long check = Check(); check != kRegOk) return check;
  if (data != nullptr && size == nullptr) return kRegInvalidParameter;
  const std::string value(name);
  DWORD kind = 0;
  DWORD length = size == nullptr ? 0 : *size;
  const LONG result = RegQueryValueExA(as_key(handle_), value.c_str(), nullptr, &kind,
                                       static_cast<BYTE*>(data), size == nullptr ? nullptr : &length);
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return result;
  if (type != nullptr) *type = kind;
  if (size != nullptr) *size = length;
  return result;
}

long RegKey::SetValue(std::string_view name, uint32_t type, const void* data, uint32_t size) {
  if (const long check = Check(); check != kRegOk) return check;
  if (data == nullptr && size != 0) return kRegInvalidParameter;
  const std::string value(name);
  return RegSetValueExA(as_key(handle_), value.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

long RegKey::EnumValue(uint32_t index, char* name, uint32_t* name_size, uint32_t* type, void* data,
                       uint32_t* data_size) const {
  if (const long check = Check(); check != kRegOk) return check;
  if (name == nullptr || name_size == nullptr) return kRegInvalidParameter;
  if (data != nullptr && data_size == nullptr) return kRegInvalidParameter;
  DWORD name_length = *name_size;
  DWORD kind = 0;
  DWORD length = data_size == nullptr ? 0 : *data_size;
  const LONG result = RegEnumValueA(as_key(handle_), index, name, &name_length, nullptr, &kind,
                                    static_cast<BYTE*>(data), data_size == nullptr ? nullptr : &length);
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return result;
  *name_size = name_length;
  if (type != nullptr) *type = kind;
  if (data_size != nullptr) *data_size = length;
  return result;
}

long RegKey::EnumKey(uint32_t index, std::string* name) const {
  if (const long check = Check(); check != kRegOk) return check;
  if (name == nullptr) return kRegInvalidParameter;
  char buffer[256];  // the longest key name the registry allows, and its NUL
  DWORD length = sizeof buffer;
  const LONG result =
      RegEnumKeyExA(as_key(handle_), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (result != ERROR_SUCCESS) return result;
  name->assign(buffer, length);
  return kRegOk;
}

long RegKey::DeleteValue(std::string_view name) {
  if (const long check = Check(); check != kRegOk) return check;
  const std::string value(name);
  return RegDeleteValueA(as_key(handle_), value.c_str());
}

long RegKey::DeleteSubKey(std::string_view subkey) {
  if (const long check = Check(); check != kRegOk) return check;
  if (subkey.empty() || !valid_reg_path(subkey)) return kRegInvalidParameter;
  const std::string name(subkey);
  return RegDeleteKeyA(as_key(handle_), name.c_str());
}

long RegKey::DeleteTree(std::string_view subkey) {
  if (const long check = Check(); check != kRegOk) return check;
  if (!valid_reg_path(subkey)) return kRegInvalidParameter;
  const std::string name(subkey);
  return RegDeleteTreeA(as_key(handle_), subkey.empty() ? nullptr : name.c_str());
}

}  // namespace platform

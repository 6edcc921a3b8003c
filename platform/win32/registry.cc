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

const char* hive_name(RegHive hive) {
  return hive == RegHive::kClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

// Why this thread's last change failed, kept from the start of the outermost
// batch (or of a change outside one) on.
thread_local char t_failure[512];
thread_local int t_batch_depth = 0;

void start_change() {
  if (t_batch_depth == 0) t_failure[0] = '\0';
}

// Keeps the reason of a failed change; a missing key or value is an answer,
// not a failure of the registry.
long noted(LONG result, const char* what, RegHive hive, const std::string& path, std::string_view name) {
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
    std::string where = std::string(hive_name(hive)) + "\\" + path;
    if (!name.empty()) where += "\\" + std::string(name);
    win32::keep_text(t_failure, std::string(what) + " " + where + ": " + win32::system_message(result));
  }
  return result;
}

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
  start_change();
  HKEY key = nullptr;
  const std::string name(path);
  const LONG result = RegCreateKeyExA(root_of(hive), name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return noted(result, "cannot create", hive, name, {});
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

// The system's registry stores each change at once, and a change that
// cannot be stored fails by itself: a batch holds nothing back and has
// nothing left to store when it ends. Within it, RegLastFailure keeps the
// reason of the last change that failed.
RegBatch::RegBatch() {
  start_change();
  ++t_batch_depth;
}

RegBatch::~RegBatch() {
  if (!ended_) --t_batch_depth;
}

long RegBatch::Commit() {
  if (!ended_) --t_batch_depth;
  ended_ = true;
  return kRegOk;
}

std::string RegLastFailure() { return t_failure; }

// The system's registry repairs its hives itself: there is nothing to tell.
void RegSetNoticeHandler(RegNoticeHandler) {}

std::string RegHiveLocation(RegHive hive) {
  return hive == RegHive::kClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

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
  start_change();
  const std::string value(name);
  return noted(RegSetValueExA(as_key(handle_), value.c_str(), 0, type, static_cast<const BYTE*>(data), size),
               "cannot write", hive_, path_, name);
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
  start_change();
  const std::string value(name);
  return noted(RegDeleteValueA(as_key(handle_), value.c_str()), "cannot delete", hive_, path_, name);
}

long RegKey::DeleteSubKey(std::string_view subkey) {
  if (const long check = Check(); check != kRegOk) return check;
  if (subkey.empty() || !valid_reg_path(subkey)) return kRegInvalidParameter;
  start_change();
  const std::string name(subkey);
  return noted(RegDeleteKeyA(as_key(handle_), name.c_str()), "cannot delete", hive_, path_, subkey);
}

long RegKey::DeleteTree(std::string_view subkey) {
  if (const long check = Check(); check != kRegOk) return check;
  if (!valid_reg_path(subkey)) return kRegInvalidParameter;
  start_change();
  const std::string name(subkey);
  return noted(RegDeleteTreeA(as_key(handle_), subkey.empty() ? nullptr : name.c_str()), "cannot delete", hive_,
               path_, subkey);
}

}  // namespace platform

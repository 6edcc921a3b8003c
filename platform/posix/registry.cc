// The registry on hive files: each call reads the stored hive (parsed again
// only when the file changed), each change is one locked read-modify-write of it.
#include "platform/registry.h"

#include <cstring>

#include "platform/posix/hive_store.h"

namespace platform {

namespace {

std::string join_path(std::string_view base, std::string_view sub) {
  if (base.empty()) return std::string(sub);
  if (sub.empty()) return std::string(base);
  return std::string(base) + "\\" + std::string(sub);
}

}  // namespace

RegKey::RegKey(RegKey&& other) noexcept
    : hive_(other.hive_),
      path_(std::move(other.path_)),
      open_(other.open_),
      handle_(other.handle_),
      enumerated_(std::move(other.enumerated_)) {
  other.open_ = false;
  other.handle_ = nullptr;
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    hive_ = other.hive_;
    path_ = std::move(other.path_);
    open_ = other.open_;
    handle_ = other.handle_;
    enumerated_ = std::move(other.enumerated_);
    other.open_ = false;
    other.handle_ = nullptr;
  }
  return *this;
}

long RegKey::Open(RegHive hive, std::string_view path) {
  Close();
  if (!valid_reg_path(path)) return kRegInvalidParameter;
  if (posix::load_hive(hive)->find(path) == nullptr) return kRegNotFound;
  hive_ = hive;
  path_ = std::string(path);
  open_ = true;
  return kRegOk;
}

long RegKey::Create(RegHive hive, std::string_view path) {
  Close();
  if (!valid_reg_path(path)) return kRegInvalidParameter;
  const long result = posix::update_hive(hive, [&](HiveData& data, bool* changed) {
    *changed = data.find(path) == nullptr;
    data.create(path);
    return static_cast<long>(kRegOk);
  });
  if (result != kRegOk) return result;
  hive_ = hive;
  path_ = std::string(path);
  open_ = true;
  return kRegOk;
}

void RegKey::Close() {
  open_ = false;
  path_.clear();
  enumerated_.reset();
}

RegBatch::RegBatch() { posix::begin_batch(); }

RegBatch::~RegBatch() {
  if (!ended_) posix::end_batch();
}

long RegBatch::Commit() {
  if (ended_) return kRegOk;
  ended_ = true;
  return posix::end_batch();
}

std::string RegLastFailure() { return posix::last_failure(); }

void RegSetNoticeHandler(RegNoticeHandler handler) { posix::set_notice_handler(handler); }

std::string RegHiveLocation(RegHive hive) { return posix::hive_file_path(hive); }

long RegKey::Check() const { return open_ ? kRegOk : kRegInvalidHandle; }

long RegKey::QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const {
  if (const long check = Check(); check != kRegOk) return check;
  if (data != nullptr && size == nullptr) return kRegInvalidParameter;
  const auto hive = posix::load_hive(hive_);
  const RegKeyData* key = hive->find(path_);
  if (key == nullptr) return kRegKeyDeleted;
  const RegValueData* value = key->find(name);
  if (value == nullptr) return kRegNotFound;
  if (type != nullptr) *type = value->type;
  if (size == nullptr) return kRegOk;
  const auto length = static_cast<uint32_t>(value->data.size());
  if (data != nullptr) {
    if (*size < length) {
      *size = length;
      return kRegMoreData;
    }
    std::memcpy(data, value->data.data(), length);
  }
  *size = length;
  return kRegOk;
}

long RegKey::SetValue(std::string_view name, uint32_t type, const void* data, uint32_t size) {
  enumerated_.reset();
  if (const long check = Check(); check != kRegOk) return check;
  if (data == nullptr && size != 0) return kRegInvalidParameter;
  const std::string_view bytes(static_cast<const char*>(data), data == nullptr ? 0 : size);
  return posix::update_hive(hive_, [&](HiveData& hive, bool* changed) -> long {
    RegKeyData* key = hive.find(path_);
    if (key == nullptr) return kRegKeyDeleted;
    HiveData::set_value(*key, name, type, bytes);
    *changed = true;
    return kRegOk;
  });
}

long RegKey::EnumValue(uint32_t index, char* name, uint32_t* name_size, uint32_t* type, void* data,
                       uint32_t* data_size) const {
  if (const long check = Check(); check != kRegOk) return check;
  if (name == nullptr || name_size == nullptr) return kRegInvalidParameter;
  if (data != nullptr && data_size == nullptr) return kRegInvalidParameter;
  // Each later index reads the state index 0 read: one look at the file for
  // a whole enumeration, and no value seen twice or missed when another
  // process stores the key meanwhile. A batch's own changes are read as they
  // are made.
  if (index == 0 || enumerated_ == nullptr || posix::batch_holds(hive_)) {
    const auto hive = posix::load_hive(hive_);
    const RegKeyData* found = hive->find(path_);
    if (found == nullptr) return kRegKeyDeleted;
    enumerated_ = std::shared_ptr<const RegKeyData>(hive, found);
  }
  const RegKeyData* key = enumerated_.get();
  if (index >= key->values.size()) return kRegNoMoreItems;
  const RegValueData& value = key->values[index];
  if (value.name.size() >= *name_size) return kRegMoreData;
  const auto length = static_cast<uint32_t>(value.data.size());
  long result = kRegOk;
  if (data != nullptr && *data_size < length) {
    result = kRegMoreData;
  } else if (data != nullptr) {
    std::memcpy(data, value.data.data(), length);
  }
  std::memcpy(name, value.name.data(), value.name.size());
  name[value.name.size()] = '\0';
  *name_size = static_cast<uint32_t>(value.name.size());
  if (type != nullptr) *type = value.type;
  if (data_size != nullptr) *data_size = length;
  return result;
}

long RegKey::EnumKey(uint32_t index, std::string* name) const {
  if (const long check = Check(); check != kRegOk) return check;
  if (name == nullptr) return kRegInvalidParameter;
  const auto hive = posix::load_hive(hive_);
  if (hive->find(path_) == nullptr) return kRegKeyDeleted;
  const std::vector<std::string> names = hive->subkeys(path_);
  if (index >= names.size()) return kRegNoMoreItems;
  *name = names[index];
  return kRegOk;
}

long RegKey::DeleteValue(std::string_view name) {
  enumerated_.reset();
  if (const long check = Check(); check != kRegOk) return check;
  return posix::update_hive(hive_, [&](HiveData& hive, bool* changed) -> long {
    RegKeyData* key = hive.find(path_);
    if (key == nullptr) return kRegKeyDeleted;
    if (!HiveData::erase_value(*key, name)) return kRegNotFound;
    *changed = true;
    return kRegOk;
  });
}

long RegKey::DeleteSubKey(std::string_view subkey) {
  enumerated_.reset();
  if (const long check = Check(); check != kRegOk) return check;
  if (subkey.empty() || !valid_reg_path(subkey)) return kRegInvalidParameter;
  const std::string full = join_path(path_, subkey);
  return posix::update_hive(hive_, [&](HiveData& hive, bool* changed) -> long {
    if (hive.find(path_) == nullptr) return kRegKeyDeleted;
    if (hive.find(full) == nullptr) return kRegNotFound;
    if (!hive.subkeys(full).empty()) return kRegAccessDenied;
    hive.erase_tree(full);
    *changed = true;
    return kRegOk;
  });
}

long RegKey::DeleteTree(std::string_view subkey) {
  enumerated_.reset();
  if (const long check = Check(); check != kRegOk) return check;
  if (!valid_reg_path(subkey)) return kRegInvalidParameter;
  const std::string full = join_path(path_, subkey);
  return posix::update_hive(hive_, [&](HiveData& hive, bool* changed) -> long {
    if (hive.find(path_) == nullptr) return kRegKeyDeleted;
    RegKeyData* target = hive.find(full);
    if (target == nullptr) return kRegNotFound;
    *changed = true;
    if (!subkey.empty()) {
      hive.erase_tree(full);
      return kRegOk;
    }
    // No subkey: empty this key itself, keeping it.
    target->values.clear();
    for (const std::string& child : hive.subkeys(full)) hive.erase_tree(join_path(full, child));
    return kRegOk;
  });
}

}  // namespace platform

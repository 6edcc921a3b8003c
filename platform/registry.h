// The registry: hives of keys that hold typed values, reached through key paths
// such as "SoftWare\\VelixCom". Key and value names compare without regard to
// ASCII letter case; a key keeps the spelling it was created with. Value data
// are kept byte for byte, whatever their type.
//
// Results are the Windows error numbers (kRegOk is ERROR_SUCCESS, ...), and each
// operation behaves like its Windows counterpart, named beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct RegKeyData;

enum class RegHive { kCurrentUser, kClassesRoot };

// Value types (REG_*).
enum RegType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
};

// Results (ERROR_*).
enum RegResult : long {
  kRegOk = 0,                   // ERROR_SUCCESS
  kRegNotFound = 2,             // ERROR_FILE_NOT_FOUND: no such key or value
  kRegAccessDenied = 5,         // ERROR_ACCESS_DENIED: deleting a key that has subkeys
  kRegInvalidHandle = 6,        // ERROR_INVALID_HANDLE: the key is not open
  kRegInvalidParameter = 87,    // ERROR_INVALID_PARAMETER
  kRegMoreData = 234,           // ERROR_MORE_DATA: a name or the data does not fit
  kRegNoMoreItems = 259,        // ERROR_NO_MORE_ITEMS: enumeration index past the end
  kRegKeyDeleted = 1018,        // ERROR_KEY_DELETED: the open key was deleted meanwhile
  kRegCannotWrite = 1013,       // ERROR_CANTWRITE: the hive could not be stored
};

// An open key. Changes are stored at once (each one a complete, atomic save of
// the hive) and are seen by every handle and every process from then on, unless
// a RegBatch groups them.
class RegKey {
 public:
  RegKey() = default;
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { Close(); }

  // RegOpenKeyEx: the key must exist. An empty path opens the hive's root.
  long Open(RegHive hive, std::string_view path);
  // RegCreateKeyEx: opens the key, creating it and its missing parents.
  long Create(RegHive hive, std::string_view path);
  // RegCloseKey.
  void Close();
  bool is_open() const { return open_; }

  // RegQueryValueEx. type and size may be null. With data null, *size receives
  // the data's length. When *size is too small: kRegMoreData, and *size
  // receives the length needed.
  long QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const;

  // RegSetValueEx: creates or replaces the value with exactly these bytes.
  long SetValue(std::string_view name, uint32_t type, const void* data, uint32_t size);

  // RegEnumValue, in the order the values were created; one enumeration
  // (index 0, then the next ones) reads one state of the key, as it was at
  // index 0, unless this handle changes it meanwhile. *name_size is the
  // capacity of name in bytes, the terminating NUL included; on success it
  // receives the name's length without the NUL. data and data_size may be null.
  // A name or data that does not fit gives kRegMoreData; an index past the last
  // value gives kRegNoMoreItems.
  long EnumValue(uint32_t index, char* name, uint32_t* name_size, uint32_t* type, void* data,
                 uint32_t* data_size) const;

  // RegEnumKeyEx: the name of the index-th direct subkey.
  long EnumKey(uint32_t index, std::string* name) const;

  // RegDeleteValue.
  long DeleteValue(std::string_view name);

  // RegDeleteKey: deletes a subkey that has no subkeys of its own
  // (kRegAccessDenied otherwise).
  long DeleteSubKey(std::string_view subkey);

  // RegDeleteTree: deletes a subkey with everything below it.
  long DeleteTree(std::string_view subkey);

 private:
  long Check() const;

  RegHive hive_ = RegHive::kCurrentUser;
  std::string path_;
  bool open_ = false;
  void* handle_ = nullptr;  // the system's key handle, where the registry is the system's
  // Where the hive is ours: the key as the enumeration under way read it
  // (sharing the hive it belongs to).
  mutable std::shared_ptr<const RegKeyData> enumerated_;
};

// Groups the changes this thread makes through RegKey until the outermost
// batch ends: each hive that was changed is then stored once, so other
// processes see all of the changes or none of them, and two processes saving
// at once leave the one or the other whole. While a batch has changed a hive,
// other writers of that hive wait for the batch to end; this thread reads its
// own changes. Batches nest.
class RegBatch {
 public:
  RegBatch();
  ~RegBatch();
  RegBatch(const RegBatch&) = delete;
  RegBatch& operator=(const RegBatch&) = delete;

  // Ends the batch now: kRegCannotWrite when a changed hive could not be
  // stored (RegLastFailure says why). An inner batch stores nothing and gives
  // kRegOk; the outermost one's result counts.
  long Commit();

 private:
  bool ended_ = false;
};

// Why the last hive read or store of this thread failed, for logs and
// messages ("cannot write ...: No space left on device").
std::string RegLastFailure();

// What the store did on its own that people must be told: a damaged hive file
// found (used without the lines that cannot be read), or kept under a second
// name when a change stored what could be read from it. Programs show notices
// where their user looks (velix on standard error, velixhost in its log);
// without a handler they are dropped. The handler may be called on any thread
// that uses the registry.
using RegNoticeHandler = void (*)(const std::string& notice);
void RegSetNoticeHandler(RegNoticeHandler handler);

// Where a hive is kept, for people to look at: its file where the store is
// ours, the registry root's name where the registry is the system's.
std::string RegHiveLocation(RegHive hive);

}  // namespace platform

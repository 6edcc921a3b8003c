// The user's list of key files: display name and path of each secret key file,
// kept in the registry under SoftWare\VelixCom\Keys (one REG_SZ value per key:
// value name = display name, data = the path's bytes without a NUL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The longest name and path the key list stores and loads back (its readers
// take a value name and its data into 255-byte buffers, NUL included).
constexpr size_t kKeyNameMaxBytes = 254;
constexpr size_t kKeyPathMaxBytes = 254;

struct KeyListEntry {
  int32_t flag = 0;  // 0 when loaded or appended; the key management dialog marks entries with it
  std::string name;  // display name ("" when none)
  std::string path;  // full path of the secret key file ("" when none)
  KeyListEntry* previous = nullptr;
  KeyListEntry* next = nullptr;
  // As loaded or last saved; an entry appended since is not stored yet.
  bool stored = false;
  std::string stored_name;
  std::string stored_path;
};

// A doubly linked list of entries in insertion order; it owns its entries.
class KeyList {
 public:
  KeyList() = default;
  ~KeyList() { Clear(); }  // frees the entries; nothing is stored
  KeyList(const KeyList&) = delete;
  KeyList& operator=(const KeyList&) = delete;

  // Removes every entry (Remove for each).
  void Clear();
  KeyListEntry* Append(std::string_view name, std::string_view path);
  // Unlinks and frees entry, which must belong to this list; a stored entry
  // is deleted from the registry by the next Save.
  void Remove(KeyListEntry* entry);
  // The entry n links from the head; nullptr when the list is shorter.
  KeyListEntry* At(size_t n) const;
  KeyListEntry* head() const { return head_; }
  size_t size() const { return size_; }

  // Replaces the list by the registry's Keys values of type REG_SZ whose name
  // and path fit (see kKeyNameMaxBytes); other values are skipped, and stay
  // stored. Without the key the list stays empty.
  void Load();
  // Stores what changed since Load or the last Save, under the hive lock and
  // on the values stored now: entries removed, renamed or given another path
  // change in place, appended entries are added at the end. Values this list
  // did not load or did not change stay as they are. false when the registry
  // could not be written (why, when asked); the list is then kept as it is.
  bool Save(std::string* why = nullptr);
  // True when Save has something to store.
  bool Changed() const;

 private:
  KeyListEntry* head_ = nullptr;
  KeyListEntry* tail_ = nullptr;
  size_t size_ = 0;
  std::vector<std::string> removed_;  // stored names of the entries removed since
};

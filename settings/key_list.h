// The user's list of key files: display name and path of each secret key file,
// kept in the registry under SoftWare\VelixCom\Keys (one REG_SZ value per key:
// value name = display name, data = the path's bytes without a NUL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct KeyListEntry {
  int32_t flag = 0;  // 0 when loaded or appended; the key management dialog marks entries with it
  std::string name;  // display name ("" when none)
  std::string path;  // full path of the secret key file ("" when none)
  KeyListEntry* previous = nullptr;
  KeyListEntry* next = nullptr;
};

// A doubly linked list of entries in insertion order; it owns its entries.
class KeyList {
 public:
  KeyList() = default;
  ~KeyList() { Clear(); }
  KeyList(const KeyList&) = delete;
  KeyList& operator=(const KeyList&) = delete;

  void Clear();
  KeyListEntry* Append(std::string_view name, std::string_view path);
  // Unlinks and frees entry, which must belong to this list.
  void Remove(KeyListEntry* entry);
  // The entry n links from the head; nullptr when the list is shorter.
  KeyListEntry* At(size_t n) const;
  KeyListEntry* head() const { return head_; }
  size_t size() const { return size_; }

  // Replaces the list by the registry's Keys values (enumeration stops at the
  // first value whose name or data does not fit 255 bytes; values that are not
  // REG_SZ are skipped). Without the key the list stays empty.
  void Load();
  // Replaces the registry's Keys subkey by the entries, in list order.
  void Save() const;

 private:
  KeyListEntry* head_ = nullptr;
  KeyListEntry* tail_ = nullptr;
  size_t size_ = 0;
};

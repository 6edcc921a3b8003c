#include "settings/key_list.h"

#include <cstring>

#include "platform/registry.h"
#include "settings/config.h"

using platform::RegHive;
using platform::RegKey;

void KeyList::Clear() {
  while (head_ != nullptr) {
    KeyListEntry* next = head_->next;
    delete head_;
    head_ = next;
  }
  tail_ = nullptr;
  size_ = 0;
}

KeyListEntry* KeyList::Append(std::string_view name, std::string_view path) {
  auto* entry = new KeyListEntry{0, std::string(name), std::string(path), tail_, nullptr};
  (tail_ != nullptr ? tail_->next : head_) = entry;
  tail_ = entry;
  ++size_;
  return entry;
}

void KeyList::Remove(KeyListEntry* entry) {
  if (entry == nullptr) return;
  (entry->previous != nullptr ? entry->previous->next : head_) = entry->next;
  (entry->next != nullptr ? entry->next->previous : tail_) = entry->previous;
  delete entry;
  --size_;
}

KeyListEntry* KeyList::At(size_t n) const {
  KeyListEntry* entry = head_;
  while (entry != nullptr && n-- > 0) entry = entry->next;
  return entry;
}

void KeyList::Load() {
  Clear();
  RegKey key;
  if (key.Open(RegHive::kCurrentUser, kKeyListKeyPath) != platform::kRegOk) return;
  constexpr uint32_t kBufferSize = 255;
  for (uint32_t index = 0;; ++index) {
    char name[kBufferSize] = {};
    char data[kBufferSize] = {};
    uint32_t name_size = kBufferSize;
    uint32_t data_size = kBufferSize;
    uint32_t type = 0;
    if (key.EnumValue(index, name, &name_size, &type, data, &data_size) != platform::kRegOk) break;
    if (type != platform::kRegSz) continue;
    // The path is the data up to its first NUL; a path of all 255 bytes is kept whole.
    Append(std::string_view(name, name_size), std::string_view(data, strnlen(data, data_size)));
  }
}

void KeyList::Save() const {
  platform::RegBatch batch;
  RegKey root;
  if (root.Open(RegHive::kCurrentUser, "") == platform::kRegOk) root.DeleteSubKey(kKeyListKeyPath);
  RegKey key;
  if (key.Create(RegHive::kCurrentUser, kKeyListKeyPath) != platform::kRegOk) return;
  for (const KeyListEntry* entry = head_; entry != nullptr; entry = entry->next)
    key.SetValue(entry->name, platform::kRegSz, entry->path.data(),
                 static_cast<uint32_t>(entry->path.size()));
}

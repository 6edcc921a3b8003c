#include "settings/key_list.h"

#include <algorithm>
#include <cstring>

#include "platform/registry.h"
#include "settings/config.h"

using platform::RegHive;
using platform::RegKey;

namespace {

// One value of the Keys subkey, whatever its type and size.
struct RawValue {
  std::string name;
  uint32_t type = 0;
  std::string data;
};

// Registry names compare without regard to ASCII letter case.
bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

bool entry_changed(const KeyListEntry& entry) {
  return !entry.stored || entry.name != entry.stored_name || entry.path != entry.stored_path;
}

// Every value of the key, in order, with names and data of any length.
bool read_all_values(const RegKey& key, std::vector<RawValue>* values) {
  for (uint32_t index = 0;; ++index) {
    RawValue value;
    std::vector<char> name(256);
    uint32_t data_size = 0;
    long result;
    while (true) {
      auto name_size = static_cast<uint32_t>(name.size());
      result = key.EnumValue(index, name.data(), &name_size, &value.type, nullptr, &data_size);
      if (result != platform::kRegMoreData) {
        if (result == platform::kRegOk) value.name.assign(name.data(), name_size);
        break;
      }
      if (name.size() > (1u << 24)) return false;
      name.resize(name.size() * 2);
    }
    if (result == platform::kRegNoMoreItems) return true;
    if (result != platform::kRegOk) return false;
    value.data.resize(data_size);
    uint32_t size = data_size;
    if (key.QueryValue(value.name, &value.type, value.data.data(), &size) != platform::kRegOk) return false;
    values->push_back(std::move(value));
  }
}

// Sets name to data in the sequence: in place when a value of that name is
// there already (as the registry would), else at the end.
void put(std::vector<RawValue>* values, const std::string& name, const std::string& path) {
  for (RawValue& value : *values) {
    if (!same_name(value.name, name)) continue;
    value = RawValue{name, platform::kRegSz, path};
    return;
  }
  values->push_back(RawValue{name, platform::kRegSz, path});
}

}  // namespace

void KeyList::Clear() {
  while (head_ != nullptr) Remove(head_);
}

KeyListEntry* KeyList::Append(std::string_view name, std::string_view path) {
  auto* entry = new KeyListEntry;
  entry->name = name;
  entry->path = path;
  entry->previous = tail_;
  (tail_ != nullptr ? tail_->next : head_) = entry;
  tail_ = entry;
  ++size_;
  return entry;
}

void KeyList::Remove(KeyListEntry* entry) {
  if (entry == nullptr) return;
  if (entry->stored) removed_.push_back(entry->stored_name);
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
  removed_.clear();  // the list now starts from what is stored
  RegKey key;
  if (key.Open(RegHive::kCurrentUser, kKeyListKeyPath) != platform::kRegOk) return;
  constexpr uint32_t kBufferSize = 255;
  for (uint32_t index = 0;; ++index) {
    char name[kBufferSize] = {};
    char data[kBufferSize] = {};
    uint32_t name_size = kBufferSize;
    uint32_t data_size = kBufferSize;
    uint32_t type = 0;
    const long result = key.EnumValue(index, name, &name_size, &type, data, &data_size);
    if (result == platform::kRegMoreData) continue;  // too long to load: left alone, never deleted
    if (result != platform::kRegOk) break;
    if (type != platform::kRegSz) continue;
    // The path is the data up to its first NUL; a path of all 255 bytes is kept whole.
    KeyListEntry* entry =
        Append(std::string_view(name, name_size), std::string_view(data, strnlen(data, data_size)));
    entry->stored = true;
    entry->stored_name = entry->name;
    entry->stored_path = entry->path;
  }
}

bool KeyList::Changed() const {
  if (!removed_.empty()) return true;
  for (const KeyListEntry* entry = head_; entry != nullptr; entry = entry->next)
    if (entry_changed(*entry)) return true;
  return false;
}

bool KeyList::Save(std::string* why) {
  if (!Changed()) return true;
  platform::RegBatch batch;  // the values read below are the ones stored now, and stay so until Commit
  RegKey key;
  std::vector<RawValue> before;
  long result = key.Create(RegHive::kCurrentUser, kKeyListKeyPath);
  if (result == platform::kRegOk && !read_all_values(key, &before)) result = platform::kRegCannotWrite;

  if (result == platform::kRegOk) {
    std::vector<RawValue> after;
    std::vector<const KeyListEntry*> placed;
    for (const RawValue& value : before) {
      const bool removed = std::any_of(removed_.begin(), removed_.end(),
                                       [&](const std::string& name) { return same_name(name, value.name); });
      if (removed) continue;
      const KeyListEntry* changed = nullptr;
      for (const KeyListEntry* entry = head_; entry != nullptr && changed == nullptr; entry = entry->next)
        if (entry->stored && entry_changed(*entry) && same_name(entry->stored_name, value.name)) changed = entry;
      if (changed == nullptr) {
        after.push_back(value);
      } else {
        // Renamed or given another path: it keeps its place, so positions stay.
        after.push_back(RawValue{changed->name, platform::kRegSz, changed->path});
        placed.push_back(changed);
      }
    }
    // New entries, and changed ones that another process removed meanwhile.
    for (const KeyListEntry* entry = head_; entry != nullptr; entry = entry->next)
      if (entry_changed(*entry) && std::find(placed.begin(), placed.end(), entry) == placed.end())
        put(&after, entry->name, entry->path);

    for (const RawValue& value : before)
      if (result == platform::kRegOk) result = key.DeleteValue(value.name);
    for (const RawValue& value : after)
      if (result == platform::kRegOk)
        result = key.SetValue(value.name, value.type, value.data.data(), static_cast<uint32_t>(value.data.size()));
  }
  const long stored = batch.Commit();
  if (result != platform::kRegOk || stored != platform::kRegOk) {
    if (why != nullptr) {
      *why = platform::RegLastFailure();
      if (why->empty()) *why = "the key list could not be stored (error " + std::to_string(result) + ")";
    }
    return false;
  }
  for (KeyListEntry* entry = head_; entry != nullptr; entry = entry->next) {
    entry->stored = true;
    entry->stored_name = entry->name;
    entry->stored_path = entry->path;
  }
  removed_.clear();
  return true;
}

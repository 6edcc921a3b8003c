#include "settings/config.h"

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/ui_language.h"
#include "settings/digest_prefix.h"

using platform::RegHive;
using platform::RegKey;

namespace {

// A REG_DWORD value read into a zeroed 4-byte buffer; false when missing, of
// another type or longer than four bytes.
bool read_dword(const RegKey& key, const char* name, uint8_t (&buffer)[4]) {
  uint32_t type = 0;
  uint32_t size = sizeof buffer;
  return key.QueryValue(name, &type, buffer, &size) == platform::kRegOk &&
         type == platform::kRegDword;
}

uint32_t little_endian(const uint8_t (&b)[4]) {
  return b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

long write_dword(RegKey& key, const char* name, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return key.SetValue(name, platform::kRegDword, bytes, sizeof bytes);
}

// tokenName: a REG_SZ or REG_EXPAND_SZ value whose data end with a NUL (or are
// empty); anything else reads as the empty name.
std::string read_token_name(const RegKey& key) {
  uint32_t type = 0;
  uint32_t size = 0;
  if (key.QueryValue("tokenName", &type, nullptr, &size) != platform::kRegOk) return {};
  if (type != platform::kRegSz && type != platform::kRegExpandSz) return {};
  std::vector<char> buffer(size_t{size} + 1, '\0');
  uint32_t read = size;
  if (key.QueryValue("tokenName", &type, buffer.data(), &read) != platform::kRegOk) return {};
  if (read != 0 && buffer[read - 1] != '\0') return {};
  return std::string(buffer.data());
}

}  // namespace

Config& Config::Instance() {
  static Config instance;
  return instance;
}

Config::Config() : language(platform::user_ui_language()) {
  assemble_digest_prefix(digestPrefix);
  Load();
}

void Config::Load() {
  keyList.Load();
  LoadValues(kAllValues);
}

void Config::Reload(unsigned values) {
  // A value that is not stored (or not readable) goes back to what was loaded last.
  auto take = [&](Value value, auto& field, const auto& loaded) {
    if ((values & value) != 0) field = loaded;
  };
  take(kKeyIndex, KeyIndex, stored_.KeyIndex);
  take(kReaskIndex, ReaskIndex, stored_.ReaskIndex);
  take(kKeyType, KeyType, stored_.KeyType);
  take(kTokenSerial, eTokenKeySerial, stored_.eTokenKeySerial);
  take(kVK, VK, stored_.VK);
  take(kTokenName, tokenName, stored_.tokenName);
  LoadValues(values);
}

void Config::LoadValues(unsigned values) {
  RegKey key;
  if (key.Open(RegHive::kCurrentUser, kConfigKeyPath) == platform::kRegOk) {
    uint8_t b[4] = {};
    auto want = [&](Value value) {
      b[0] = b[1] = b[2] = b[3] = 0;
      return (values & value) != 0;
    };
    if (want(kKeyIndex) && read_dword(key, "KeyIndex", b)) KeyIndex = little_endian(b);
    if (want(kKeyType) && read_dword(key, "KeyType", b)) KeyType = b[0];  // one byte or four: the low byte
    if (want(kReaskIndex) && read_dword(key, "ReaskIndex", b)) ReaskIndex = little_endian(b);
    if (want(kTokenSerial) && read_dword(key, "eTokenKeySerial", b)) eTokenKeySerial = little_endian(b);
    if (want(kVK) && read_dword(key, "VK", b)) VK = static_cast<int32_t>(little_endian(b));
    if (want(kTokenName)) tokenName = read_token_name(key);
  }
  const Stored now = Current();
  if ((values & kKeyIndex) != 0) stored_.KeyIndex = now.KeyIndex;
  if ((values & kReaskIndex) != 0) stored_.ReaskIndex = now.ReaskIndex;
  if ((values & kKeyType) != 0) stored_.KeyType = now.KeyType;
  if ((values & kTokenSerial) != 0) stored_.eTokenKeySerial = now.eTokenKeySerial;
  if ((values & kVK) != 0) stored_.VK = now.VK;
  if ((values & kTokenName) != 0) stored_.tokenName = now.tokenName;
  forced_ &= ~values;
}

Config::Stored Config::Current() const {
  return Stored{KeyIndex, ReaskIndex, KeyType, eTokenKeySerial, VK, tokenName};
}

bool Config::Save() {
  save_failure_.clear();
  const Stored now = Current();
  unsigned changed = forced_;
  if (now.KeyIndex != stored_.KeyIndex) changed |= kKeyIndex;
  if (now.ReaskIndex != stored_.ReaskIndex) changed |= kReaskIndex;
  if (now.KeyType != stored_.KeyType) changed |= kKeyType;
  if (now.eTokenKeySerial != stored_.eTokenKeySerial) changed |= kTokenSerial;
  if (now.VK != stored_.VK) changed |= kVK;
  if (now.tokenName != stored_.tokenName) changed |= kTokenName;
  if (changed == 0) return true;

  long result = platform::kRegOk;
  {
    platform::RegBatch batch;  // one store: another process sees the whole save or none of it
    RegKey key;
    result = key.Create(RegHive::kCurrentUser, kConfigKeyPath);
    auto write = [&](Value value, auto&& set) {
      if (result == platform::kRegOk && (changed & value) != 0) result = set();
    };
    write(kKeyIndex, [&] { return write_dword(key, "KeyIndex", KeyIndex); });
    write(kReaskIndex, [&] { return write_dword(key, "ReaskIndex", ReaskIndex); });
    write(kKeyType, [&] { return key.SetValue("KeyType", platform::kRegDword, &KeyType, 1); });
    write(kTokenSerial, [&] { return write_dword(key, "eTokenKeySerial", eTokenKeySerial); });
    write(kVK, [&] { return write_dword(key, "VK", static_cast<uint32_t>(VK)); });
    write(kTokenName, [&] {
      return key.SetValue("tokenName", platform::kRegSz, tokenName.c_str(),
                          static_cast<uint32_t>(tokenName.size() + 1));
    });
    const long stored = batch.Commit();
    if (result == platform::kRegOk) result = stored;
  }
  if (result == platform::kRegOk) {
    stored_ = now;
    forced_ = 0;
    return true;
  }
  save_failure_ = platform::RegLastFailure();
  if (save_failure_.empty()) save_failure_ = "the settings could not be stored (error " + std::to_string(result) + ")";
  return false;
}

#include "settings/config.h"

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

void write_dword(RegKey& key, const char* name, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  key.SetValue(name, platform::kRegDword, bytes, sizeof bytes);
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
  RegKey key;
  if (key.Open(RegHive::kCurrentUser, kConfigKeyPath) != platform::kRegOk) return;
  uint8_t b[4] = {};
  if (read_dword(key, "KeyIndex", b)) KeyIndex = little_endian(b);
  b[0] = b[1] = b[2] = b[3] = 0;
  if (read_dword(key, "KeyType", b)) KeyType = b[0];  // one byte or four: the low byte
  b[0] = b[1] = b[2] = b[3] = 0;
  if (read_dword(key, "ReaskIndex", b)) ReaskIndex = little_endian(b);
  b[0] = b[1] = b[2] = b[3] = 0;
  if (read_dword(key, "eTokenKeySerial", b)) eTokenKeySerial = little_endian(b);
  b[0] = b[1] = b[2] = b[3] = 0;
  if (read_dword(key, "VK", b)) VK = static_cast<int32_t>(little_endian(b));
  tokenName = read_token_name(key);
}

void Config::Save() const {
  platform::RegBatch batch;  // one store: another process sees the whole save or none of it
  keyList.Save();
  RegKey key;
  if (key.Create(RegHive::kCurrentUser, kConfigKeyPath) != platform::kRegOk) return;
  write_dword(key, "KeyIndex", KeyIndex);
  write_dword(key, "ReaskIndex", ReaskIndex);
  key.SetValue("KeyType", platform::kRegDword, &KeyType, 1);
  write_dword(key, "eTokenKeySerial", eTokenKeySerial);
  write_dword(key, "VK", static_cast<uint32_t>(VK));
  key.SetValue("tokenName", platform::kRegSz, tokenName.c_str(),
               static_cast<uint32_t>(tokenName.size() + 1));
}

// The user's settings between runs: one process-wide Config, loaded from and
// saved to the registry under HKEY_CURRENT_USER\SoftWare\VelixCom.
//
// Registry failures are never reported: a key that cannot be opened leaves the
// values as they were, one that cannot be created leaves the registry as it was.
// Config has no lock; signer operations (one at a time) and their dialogs use it.
#pragma once

#include <cstdint>
#include <string>

#include "settings/key_list.h"

// Registry locations (key paths keep this letter case).
inline constexpr char kConfigKeyPath[] = "SoftWare\\VelixCom";
inline constexpr char kKeyListKeyPath[] = "SoftWare\\VelixCom\\Keys";

constexpr size_t kDigestPrefixSize = 10;

class Config {
 public:
  // The process-wide instance, built (defaults, then Load) on first use.
  static Config& Instance();

  // Defaults, then Load. Tests build their own; the program uses Instance().
  Config();
  virtual ~Config() = default;
  Config(const Config&) = delete;
  Config& operator=(const Config&) = delete;

  // Reloads the key list, then the values that are stored as REG_DWORD (and
  // tokenName); a missing value or one of another type keeps its field.
  void Load();
  // Writes the key list, then KeyIndex, ReaskIndex, KeyType (one byte),
  // eTokenKeySerial, VK and tokenName (with its NUL).
  void Save() const;

  KeyList keyList;
  uint32_t KeyIndex = 0;    // position in the key list of the key file chosen last
  uint32_t ReaskIndex = 9;  // position chosen in the "Ask again" list
  // Fed to the AUTH digest together with KeyType, which must follow it directly:
  // prefix and key type are hashed as eleven contiguous bytes. Never stored.
  uint8_t digestPrefix[kDigestPrefixSize];
  uint8_t KeyType = 0;  // 0 key file, 1 token
  uint32_t eTokenKeySerial = 0;
  std::string tokenName;  // token chosen last, UTF-8 as the token engines name it
  int32_t VK = 1;         // non-zero: passphrases are typed on the on-screen keyboard
  int32_t useUtf8 = 0;    // non-zero: texts reach the core in UTF-8, else the ANSI code page
  uint16_t language;      // 1033 English, anything else Russian; never stored
};

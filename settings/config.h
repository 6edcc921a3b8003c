// The user's settings between runs: one process-wide Config, loaded from and
// saved to the registry under HKEY_CURRENT_USER\SoftWare\VelixCom.
//
// A key that cannot be opened leaves the values as they were. A save writes only
// what this process changed, so settings and keys stored meanwhile by another
// process stay; a save that fails says why and leaves the values as stored.
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

  // The stored values, one bit each (for MarkChanged).
  enum Value : unsigned {
    kKeyIndex = 1,
    kReaskIndex = 2,
    kKeyType = 4,
    kTokenSerial = 8,
    kVK = 16,
    kTokenName = 32,
    kAllValues = 63,
  };

  // Reloads the key list, then the values that are stored as REG_DWORD (and
  // tokenName); a missing value or one of another type keeps its field.
  void Load();
  // Writes, under the hive lock, those of KeyIndex, ReaskIndex, KeyType (one
  // byte), eTokenKeySerial, VK and tokenName (with its NUL) that this process
  // changed since they were loaded or saved, and those marked with
  // MarkChanged; every other stored value stays as it is. The key list is not
  // written here (KeyList::Save). When the values cannot be stored: false,
  // and SaveFailure() says why; the fields keep what this process chose
  // (Reload shows what is stored instead).
  bool Save();
  // Reads the given values (a mask of Value bits) from the registry again; one
  // that is not stored goes back to what was loaded or saved last.
  void Reload(unsigned values);
  // Has the next Save write value even when it equals the loaded one (a value
  // the caller sets on purpose, which another process may have changed).
  void MarkChanged(Value value) { forced_ |= value; }
  // Why the last Save failed; empty after a save that succeeded.
  const std::string& SaveFailure() const { return save_failure_; }

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

 private:
  // The stored values as this process last loaded or saved them.
  struct Stored {
    uint32_t KeyIndex = 0;
    uint32_t ReaskIndex = 9;
    uint8_t KeyType = 0;
    uint32_t eTokenKeySerial = 0;
    int32_t VK = 1;
    std::string tokenName;
  };
  Stored Current() const;
  void LoadValues(unsigned values);

  Stored stored_;
  unsigned forced_ = 0;
  std::string save_failure_;
};

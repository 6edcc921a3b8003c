// Anchoring a plain key file to a machine: the reverse of ReadKeyText.
#include <algorithm>
#include <cstring>
#include <string>

#include "core/crypto.h"
#include "core/rc5.h"
#include "engines/hardanchor.h"
#include "platform/replace_file.h"

std::string AnchoredFileText(const platform::MachineFacts& machine, const char* text, size_t length) {
  char fingerprint[kMaxFingerprintLength + 1];
  const int fingerprint_length = BuildMachineFingerprint(machine, fingerprint, sizeof fingerprint);
  if (fingerprint_length <= 0) return std::string();
  uint8_t digest[kSha1Size];
  sha1(fingerprint, static_cast<size_t>(fingerprint_length), digest);
  secure_wipe(fingerprint, sizeof fingerprint);
  const Rc5Key key(digest, sizeof digest, 12);
  secure_wipe(digest, sizeof digest);

  // The reader stops at the first NUL, so zeros fill the last block.
  const size_t plain_length = static_cast<size_t>(std::find(text, text + length, '\0') - text);
  const size_t cipher_length = (plain_length + kRc5BlockSize - 1) / kRc5BlockSize * kRc5BlockSize;
  KeyText buffer(cipher_length);
  if (!buffer) return std::string();
  std::memcpy(buffer.data(), text, plain_length);
  auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
  uint8_t iv[kRc5BlockSize] = {};
  rc5_cbc_encrypt(key, iv, bytes, bytes, cipher_length);

  static const char digits[] = "0123456789abcdef";
  std::string file = std::string(kHardAnchorMarker) + "\n";
  file.reserve(file.size() + 2 * cipher_length + 1);
  for (size_t i = 0; i < cipher_length; ++i) {
    file += digits[bytes[i] >> 4];
    file += digits[bytes[i] & 15];
  }
  file += '\n';
  return file;
}

int AnchorKeyFile(const platform::MachineFacts& machine, const char* path) {
  KeyHardAnchor reader(machine);
  const KeyText plain = reader.RawGetFile(path);
  if (!plain) return CORE_E_FILE_NOT_FOUND;
  // What the reader would take for an anchored file is not anchored again.
  if (std::memcmp(plain.data(), kHardAnchorMarker, std::min(plain.length(), kHardAnchorMarkerLength)) == 0)
    return CORE_E_FORMAT;
  if (plain.data()[0] == '\0') return CORE_E_FORMAT;  // no text before the first NUL

  const std::string anchored = AnchoredFileText(machine, plain.data(), plain.length());
  if (anchored.empty()) return CORE_E_ENCRYPT;
  platform::ReplaceFailure failure;
  if (!platform::replace_file(path, anchored.data(), anchored.size(), &failure))
    return failure == platform::ReplaceFailure::kNoMemory ? CORE_E_NOMEM : CORE_E_WRITE_FILE;
  return 0;
}

int AnchorKeyFile(const char* path) { return AnchorKeyFile(platform::this_machine(), path); }

// Reading key files, plain or anchored, and decrypting anchored ones.
#include "engines/hardanchor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/crypto.h"
#include "core/rc5.h"

// ---- KeyText

KeyText::KeyText(size_t length) : data_(new (std::nothrow) char[length + 1]()), length_(length) {
  if (!data_) length_ = 0;
}

KeyText::~KeyText() { release(); }

KeyText::KeyText(KeyText&& other) noexcept : data_(std::move(other.data_)), length_(other.length_) {
  other.length_ = 0;
}

KeyText& KeyText::operator=(KeyText&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::move(other.data_);
    length_ = other.length_;
    other.length_ = 0;
  }
  return *this;
}

void KeyText::truncate(size_t length) {
  if (!data_ || length > length_) return;
  secure_wipe(data_.get() + length, length_ - length);
  length_ = length;
}

void KeyText::release() {
  if (data_) secure_wipe(data_.get(), length_ + 1);
  data_.reset();
  length_ = 0;
}

// ---- KeyHardAnchor

KeyHardAnchor::KeyHardAnchor() : KeyHardAnchor(platform::this_machine()) {}
KeyHardAnchor::KeyHardAnchor(const platform::MachineFacts& machine) : machine_(machine) {}
KeyHardAnchor::~KeyHardAnchor() = default;

namespace {

std::string format_message(const char* format, const char* path, int code = 0) {
  const int size = std::snprintf(nullptr, 0, format, path, code);
  std::string text(static_cast<size_t>(size), '\0');
  std::snprintf(text.data(), text.size() + 1, format, path, code);
  return text;
}

bool starts_with_marker(const KeyText& file) {
  // The comparison covers the marker, or the whole file when it is shorter;
  // a file shorter than the marker but equal to its start counts as anchored.
  const size_t n = std::min(file.length(), kHardAnchorMarkerLength);
  return std::memcmp(file.data(), kHardAnchorMarker, n) == 0;
}

}  // namespace

KeyText KeyHardAnchor::RawGetFile(const char* path) {
  message_.clear();
  std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) {
    message_ = format_message("RawGetFile: error open file \"%s\" for read. errorno:%d", path ? path : "",
                              path ? errno : EINVAL);
    return KeyText();
  }
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length == 0) {
    message_ = format_message("RawGetFile: file \"%s\" is empty.", path);
    std::fclose(file);
    return KeyText();
  }
  // A length that cannot be taken (a directory gives a huge one) or
  // allocated is a failed read.
  KeyText text;
  if (length > 0 && length <= kMaxKeyFileSize && std::fseek(file, 0, SEEK_SET) == 0)
    text = KeyText(static_cast<size_t>(length));
  if (!text || std::fread(text.data(), 1, text.length(), file) != text.length()) {
    message_ = format_message("RawGetFile: error read file \"%s\"", path);
    std::fclose(file);
    return KeyText();
  }
  std::fclose(file);
  return text;
}

KeyText KeyHardAnchor::ReadKeyText(const char* path) {
  anchored_ = 0;
  read_error_ = CORE_E_FILE_NOT_FOUND;
  KeyText file = RawGetFile(path);
  if (!file || file.length() == 0) return KeyText();
  if (!starts_with_marker(file)) {
    read_error_ = 0;
    return file;
  }

  anchored_ = 1;
  const char* begin = static_cast<const char*>(std::memchr(file.data(), '\n', file.length()));
  if (begin == nullptr) {
    read_error_ = CORE_E_FORMAT;  // the marker line never ends: no cipher text
    return KeyText();
  }
  ++begin;
  const char* file_end = file.data() + file.length();
  const char* end = static_cast<const char*>(std::memchr(begin, '\n', static_cast<size_t>(file_end - begin)));
  const size_t hex_length = static_cast<size_t>((end ? end : file_end) - begin);

  KeyText text(hex_length + 1);
  if (!text) {
    read_error_ = CORE_E_NOMEM;
    return KeyText();
  }
  const int plain_length = DecryptAnchored(machine_, begin, static_cast<int>(hex_length), text.data());
  // No fingerprint: the core gets an empty text and reports it.
  text.truncate(plain_length > 0 ? static_cast<size_t>(plain_length) : 0);
  read_error_ = 0;
  return text;
}

int DecryptAnchored(const platform::MachineFacts& machine, const char* hex, int hex_length, char* out) {
  if (hex == nullptr || out == nullptr || hex_length < 0) return -1;
  char fingerprint[kMaxFingerprintLength + 1];
  const int fingerprint_length = BuildMachineFingerprint(machine, fingerprint, sizeof fingerprint);
  if (fingerprint_length <= 0) return -1;
  uint8_t digest[kSha1Size];
  sha1(fingerprint, static_cast<size_t>(fingerprint_length), digest);
  secure_wipe(fingerprint, sizeof fingerprint);
  const Rc5Key key(digest, sizeof digest, 12);
  secure_wipe(digest, sizeof digest);

  // Pairs of characters are read as base-16 numbers the way strtol reads
  // them; an odd last character is read together with the terminating NUL.
  // Only hex_length / 2 bytes are cipher text, but a partial last block is
  // deciphered whole, so the buffer is rounded up to full zeroed blocks.
  const size_t cipher_length = static_cast<size_t>(hex_length) / 2;
  const size_t decoded_length = (static_cast<size_t>(hex_length) + 1) / 2;
  const size_t buffer_length = (decoded_length + kRc5BlockSize - 1) / kRc5BlockSize * kRc5BlockSize;
  KeyText buffer(buffer_length);
  if (!buffer) return -1;
  auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
  for (size_t i = 0; i < decoded_length; ++i) {
    char pair[3] = {hex[2 * i], 2 * i + 1 < static_cast<size_t>(hex_length) ? hex[2 * i + 1] : '\0', '\0'};
    bytes[i] = static_cast<uint8_t>(std::strtol(pair, nullptr, 16));
  }
  uint8_t iv[kRc5BlockSize] = {};
  const size_t deciphered = (cipher_length + kRc5BlockSize - 1) / kRc5BlockSize * kRc5BlockSize;
  rc5_cbc_decrypt(key, iv, bytes, bytes, deciphered);

  const char* plain = buffer.data();
  const size_t plain_length = static_cast<size_t>(std::find(plain, plain + cipher_length, '\0') - plain);
  std::memcpy(out, buffer.data(), plain_length);
  out[plain_length] = '\0';
  return static_cast<int>(plain_length);
}

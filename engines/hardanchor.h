// Key files, plain or anchored to one machine. An anchored file holds the
// secret key document enciphered (RC5-32/12 CBC) under the SHA-1 of this
// machine's fingerprint text:
//
//   HARDANCHOR<anything>\n
//   <cipher text in hexadecimal>\n
//   <anything>
//
// KeyHardAnchor reads either kind and hands the plain document text to the
// core, so every file key is opened through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/core.h"
#include "platform/machine_id.h"

constexpr char kHardAnchorMarker[] = "HARDANCHOR";
constexpr size_t kHardAnchorMarkerLength = sizeof kHardAnchorMarker - 1;
// Key files are a few kilobytes; anything larger is not read.
constexpr long kMaxKeyFileSize = 1L << 20;
// The fingerprint text is at most this long, without its NUL.
constexpr int kMaxFingerprintLength = 1023;

// A heap text (or file image) with a NUL after it, overwritten on release.
class KeyText {
 public:
  KeyText() = default;
  // length + 1 zero bytes; check with operator bool (allocation may fail).
  explicit KeyText(size_t length);
  ~KeyText();
  KeyText(KeyText&& other) noexcept;
  KeyText& operator=(KeyText&& other) noexcept;

  explicit operator bool() const { return data_ != nullptr; }
  char* data() { return data_.get(); }
  const char* data() const { return data_.get(); }
  size_t length() const { return length_; }
  // Cuts the text to length (no more than it has) and puts the NUL there.
  void truncate(size_t length);

 private:
  void release();
  std::unique_ptr<char[]> data_;
  size_t length_ = 0;
};

class KeyHardAnchor {
 public:
  // Anchored files are decrypted with this machine's fingerprint ...
  KeyHardAnchor();
  // ... or with the fingerprint of the machine described by machine.
  explicit KeyHardAnchor(const platform::MachineFacts& machine);
  virtual ~KeyHardAnchor();

  // Reads the key file at path and opens its key with the engine: the
  // core's result, or CORE_E_FILE_NOT_FOUND when the file gives no text,
  // or CORE_E_FORMAT for an anchored file without its cipher text line.
  // A failed open leaves an empty handle.
  int OpenKeyFile(int16_t engine_id, const char* path, const char* passphrase, KeyHandle* key);

  // The document text of the key file: the file itself, or the decrypted
  // text of an anchored file (empty when no fingerprint could be built).
  // Null when the file cannot be read or is empty (see message()), or when
  // an anchored file has no line feed after its marker line.
  KeyText ReadKeyText(const char* path);

  // The whole file plus a NUL; null (and a message) when it is missing,
  // empty, unreadable or larger than kMaxKeyFileSize.
  KeyText RawGetFile(const char* path);

  // 1 when the last file read was anchored, else 0.
  int anchored() const { return anchored_; }
  // The last RawGetFile message (empty when it succeeded).
  const std::string& message() const { return message_; }

 private:
  const platform::MachineFacts& machine_;
  int anchored_ = 0;
  int read_error_ = 0;  // why ReadKeyText gave null
  std::string message_;
};

// The fingerprint text of machine into buffer (NUL-terminated): the drive
// texts, the processor texts and the system volume serial. Its length, or -1
// (and an all-zero buffer) when buffer is missing or the text does not fit.
int BuildMachineFingerprint(const platform::MachineFacts& machine, char* buffer, int size);
int BuildMachineFingerprint(char* buffer, int size);

// One drive's identity text: model, serial, firmware revision, buffer size
// and type.
std::string DriveIdentityText(const platform::DriveFacts& drive);
// The same from ATA IDENTIFY DEVICE data.
std::string AtaIdentityText(const uint8_t identify[platform::kAtaIdentifySize]);

// Decrypts the cipher text given as hex_length hexadecimal characters with
// the key of machine's fingerprint. The plain text, up to its first NUL,
// goes to out (which holds hex_length / 2 + 1 bytes or more, NUL-terminated);
// its length, or -1 when no fingerprint could be built.
int DecryptAnchored(const platform::MachineFacts& machine, const char* hex, int hex_length, char* out);

// Anchors a plain key file to machine: the file at path is replaced
// (atomically) by its anchored form. 0, or CORE_E_FILE_NOT_FOUND (missing
// or empty), CORE_E_FORMAT (already anchored, or no text), CORE_E_ENCRYPT
// (no fingerprint), CORE_E_NOMEM, CORE_E_WRITE_FILE.
int AnchorKeyFile(const platform::MachineFacts& machine, const char* path);
int AnchorKeyFile(const char* path);

// The anchored file contents for a document text: marker line and hex line.
// Empty when no fingerprint could be built.
std::string AnchoredFileText(const platform::MachineFacts& machine, const char* text, size_t length);

#include "signer/signature_journal.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <memory>
#include <thread>
#include <vector>

#include "core/crypto.h"
#include "platform/file_lock.h"
#include "platform/file_reader.h"
#include "platform/file_ops.h"
#include "platform/private_files.h"
#include "platform/read_whole_file.h"
#include "platform/replace_file.h"
#include "platform/user_folders.h"

namespace {

// A longer origin is kept cut, with its length: it was refused anyway. So a
// line stays under 1 KiB, and kJournalEntries of them under kJournalBytes.
constexpr size_t kOriginBytes = 256;

std::string Escaped(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f || byte == '%') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out.empty() ? "-" : out;
}

std::string UtcTime(int64_t unix_time) {
  static std::mutex gmtime_lock;  // std::gmtime shares one result
  const std::time_t time = static_cast<std::time_t>(unix_time);
  std::lock_guard<std::mutex> hold(gmtime_lock);
  const std::tm* parts = std::gmtime(&time);
  char text[32] = "?";
  if (parts != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", parts);
  return text;
}

std::string Hex(const uint8_t (&digest)[kSha256Size]) {
  std::string hex;
  char two[3];
  for (const uint8_t byte : digest) {
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  return hex;
}

}  // namespace

std::string TextDigest(std::string_view text) {
  uint8_t digest[kSha256Size];
  sha256(text.data(), text.size(), digest);
  return Hex(digest);
}

std::string FileDigest(const std::string& path) {
  platform::FileReader reader;
  if (!reader.Open(path, false)) return {};
  Sha256 hash;
  uint8_t chunk[65536];
  for (uint64_t offset = 0;;) {
    const long n = reader.ReadAt(offset, chunk, sizeof chunk);
    if (n < 0) return {};
    if (n == 0) break;
    hash.update(chunk, static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  uint8_t digest[kSha256Size];
  hash.final(digest);
  return Hex(digest);
}

namespace {

// Keeps the last kJournalEntries lines once the file is over kJournalBytes:
// one look at its size per request, one rewrite now and then.
void TrimJournal(const std::string& path) {
  {
    platform::FileReader reader;
    if (!reader.Open(path, false) || reader.size() <= kJournalBytes) return;
  }
  std::vector<uint8_t> bytes;
  if (platform::read_whole_file(path.c_str(), &bytes) != platform::FileRead::kOk) return;
  size_t lines = 0;
  for (const uint8_t byte : bytes) lines += byte == '\n';
  if (lines <= kJournalEntries) return;
  size_t drop = lines - kJournalEntries;
  size_t start = 0;
  while (drop > 0 && start < bytes.size())
    if (bytes[start++] == '\n') --drop;
  platform::replace_file(path.c_str(), bytes.data() + start, bytes.size() - start);
}

}  // namespace

std::string SignatureJournalPath() {
  const std::string folder = platform::os_user_state_directory();
  return folder.empty() ? "" : platform::join_path(folder, "journal");
}

std::string FormatJournalLine(const JournalEntry& entry, int64_t unix_time) {
  std::string origin = entry.origin.substr(0, kOriginBytes);
  if (entry.origin.size() > kOriginBytes) origin += "...(" + std::to_string(entry.origin.size()) + " bytes)";
  return UtcTime(unix_time) + " site=" + Escaped(origin) + " action=" + Escaped(entry.action) +
         " serial=" + (entry.serial != 0 ? std::to_string(entry.serial) : "-") + " sha256=" + (entry.digest.empty() ? "-" : entry.digest) +
         " outcome=" + Escaped(entry.outcome) + "\n";
}

bool RecordSignatureRequest(const JournalEntry& entry, std::string* why) {
  const std::string path = SignatureJournalPath();
  if (path.empty()) {
    *why = "no folder for the signature journal (HOME is not set)";
    return false;
  }
  if (!platform::os_prepare_private_directory_with_parents(platform::os_user_state_directory(), why)) return false;
  // Writers take turns, so a trim never drops a line another one just wrote.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::unique_ptr<platform::ExclusiveFileLock> lock;
  for (;;) {
    lock = std::make_unique<platform::ExclusiveFileLock>(path + ".lock");
    if (lock->held() || std::chrono::steady_clock::now() > deadline) break;
    lock.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!lock->held()) {
    *why = "the signature journal stays locked by another program";
    return false;
  }
  const int fd = platform::os_open_private_file_for_append(path, why);
  if (fd < 0) return false;
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
  if (!platform::os_append_and_close(fd, FormatJournalLine(entry, now))) {
    *why = "the signature journal cannot be written";
    return false;
  }
  TrimJournal(path);
  return true;
}

// The journal of signature requests: one line per request that could lead to
// a signature (time, site, action, key serial, SHA-256 of the message,
// outcome), kept apart from velixhost's run logs and never pushed out by
// them. It keeps at least the last kJournalEntries requests: once it is over
// kJournalBytes it is cut back to them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t kJournalEntries = 10000;
constexpr uint64_t kJournalBytes = 8u << 20;

struct JournalEntry {
  std::string origin;   // the asking site; empty for a local program
  std::string action;   // "signMessage", "velix-sign-file", ...
  uint32_t serial = 0;  // the key that signed; 0 when none did
  std::string digest;   // TextDigest of the message (UTF-8) or the signed file
  std::string outcome;  // "ok", "cancelled", "origin-refused", ...
};

// SHA-256 of a text, in hexadecimal: what the journal keeps of it.
std::string TextDigest(std::string_view text);
// The same of a file's bytes, read piece by piece; empty when it cannot be read.
std::string FileDigest(const std::string& path);

// Where the journal is (beside the user's other state, see
// platform/user_folders.h); empty when there is no such folder.
std::string SignatureJournalPath();

// Appends the entry (the file and its folder are created private to the
// user), and drops the oldest entries beyond kJournalEntries. False with
// *why when it cannot be written.
bool RecordSignatureRequest(const JournalEntry& entry, std::string* why);

// One journal line for an entry at `unix_time`; texts are escaped (%XX for
// control characters, blanks, '%' and bytes beyond ASCII) so a line is one
// line whatever a page sent.
std::string FormatJournalLine(const JournalEntry& entry, int64_t unix_time);

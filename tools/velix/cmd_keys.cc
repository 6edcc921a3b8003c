// velix keys list | add | remove | rename: the user's key list, with the
// rules of the key management dialog (names in the ANSI code page, names and
// paths of at most 254 bytes).
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <optional>
#include <filesystem>

#include "platform/codepage.h"
#include "settings/config.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/key_list_names.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"

namespace {

// Key list value names compare without regard to ASCII letter case.
bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

void save(KeyList& list) {
  std::string why;
  if (!list.Save(&why)) throw CommandFailure{kExitBadInput, "cannot store the key list: " + why};
}

// The path as the list keeps it: absolute, at most kKeyPathMaxBytes.
std::string stored_path(const std::string& path) {
  if (path.empty()) throw CommandFailure{kExitBadInput, "the path is empty"};
  std::error_code error;
  const std::string full = std::filesystem::absolute(path, error).string();
  if (error) throw CommandFailure{kExitBadInput, path + ": " + error.message()};
  if (full.size() > kKeyPathMaxBytes)
    throw CommandFailure{kExitBadInput,
                         "the path is longer than " + std::to_string(kKeyPathMaxBytes) + " bytes: " + full};
  return full;
}

}  // namespace

std::string key_list_name(const std::string& typed) {
  if (typed.empty()) throw CommandFailure{kExitBadInput, "the key name is empty"};
  const std::optional<std::string> ansi = platform::utf8_to_ansi_exact(typed);
  if (!ansi) throw CommandFailure{kExitBadInput, "the key name has characters the ANSI code page cannot hold"};
  if (ansi->size() > kKeyNameMaxBytes)
    throw CommandFailure{kExitBadInput, "the key name is longer than " + std::to_string(kKeyNameMaxBytes) + " bytes"};
  return *ansi;
}

KeyListEntry* find_key(const KeyList& list, const std::string& ansi_name) {
  for (KeyListEntry* entry = list.head(); entry != nullptr; entry = entry->next)
    if (same_name(entry->name, ansi_name)) return entry;
  return nullptr;
}

void add_key_to_list(KeyList& list, const std::string& ansi_name, const std::string& path) {
  if (ansi_name.size() > kKeyNameMaxBytes)
    throw CommandFailure{kExitBadInput, "the key name is longer than " + std::to_string(kKeyNameMaxBytes) + " bytes"};
  const std::string full = stored_path(path);
  if (find_key(list, ansi_name) != nullptr)
    throw CommandFailure{kExitBadInput, "a key named " + platform::ansi_to_utf8(ansi_name) + " is already listed"};
  list.Append(ansi_name, full);
  save(list);
}

void add_key_list_commands(CLI::App& keys, GlobalOptions& options) {
  CLI::App* list = keys.add_subcommand("list", "List the key files of the key list");
  list->callback([&options] {
    KeyList keys;
    keys.Load();
    ReportList entries;
    for (KeyListEntry* entry = keys.head(); entry != nullptr; entry = entry->next) {
      Report line;
      line.add("name", platform::ansi_to_utf8(entry->name)).add("path", entry->path);
      entries.push_back(std::move(line));
    }
    if (options.json) {
      Report report;
      report.add("keys", std::move(entries));
      print_report(report, true);
    } else {
      for (KeyListEntry* entry = keys.head(); entry != nullptr; entry = entry->next)
        std::printf("%s\t%s\n", terminal_text(platform::ansi_to_utf8(entry->name)).c_str(),
                    terminal_text(entry->path).c_str());
    }
  });

  auto name = std::make_shared<std::string>();
  auto path = std::make_shared<std::string>();
  CLI::App* add = keys.add_subcommand("add", "Add a key file to the key list");
  add->add_option("NAME", *name, "The name shown for the key (at most 254 bytes)")->required();
  add->add_option("PATH", *path, "The secret key file (at most 254 bytes, made absolute)")->required();
  add->callback([name, path, &options] {
    KeyList keys;
    keys.Load();
    add_key_to_list(keys, key_list_name(*name), *path);
    Report report;
    report.add("added", *name).add("path", find_key(keys, key_list_name(*name))->path);
    print_report(report, options.json);
  });

  auto removed = std::make_shared<std::string>();
  CLI::App* remove = keys.add_subcommand("remove", "Remove a key from the key list (the file stays)");
  remove->add_option("NAME", *removed, "The key's name")->required();
  remove->callback([removed, &options] {
    KeyList keys;
    keys.Load();
    KeyListEntry* entry = find_key(keys, key_list_name(*removed));
    if (entry == nullptr) throw CommandFailure{kExitNotFound, "no key named " + *removed};
    keys.Remove(entry);
    save(keys);
    Report report;
    report.add("removed", *removed);
    print_report(report, options.json);
  });

  auto old_name = std::make_shared<std::string>();
  auto new_name = std::make_shared<std::string>();
  CLI::App* rename = keys.add_subcommand("rename", "Give a key of the key list another name");
  rename->add_option("OLD", *old_name, "The key's name")->required();
  rename->add_option("NEW", *new_name, "The new name (at most 254 bytes)")->required();
  rename->callback([old_name, new_name, &options] {
    KeyList keys;
    keys.Load();
    KeyListEntry* entry = find_key(keys, key_list_name(*old_name));
    if (entry == nullptr) throw CommandFailure{kExitNotFound, "no key named " + *old_name};
    const std::string ansi = key_list_name(*new_name);
    const KeyListEntry* other = find_key(keys, ansi);
    if (other != nullptr && other != entry)
      throw CommandFailure{kExitBadInput, "a key named " + *new_name + " is already listed"};
    entry->name = ansi;
    save(keys);
    Report report;
    report.add("renamed", *old_name).add("name", *new_name);
    print_report(report, options.json);
  });
}

void add_key_commands(CLI::App& app, GlobalOptions& options) {
  CLI::App* keys = app.add_subcommand("keys", "The key list; key creation from a key card");
  keys->require_subcommand(1);
  add_key_list_commands(*keys, options);
  add_key_create_command(*keys, options);
}

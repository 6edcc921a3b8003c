// The key list as velix changes it: the checks of the key management dialog.
#pragma once

#include <string>

#include "settings/key_list.h"

namespace CLI {
class App;
}
struct GlobalOptions;

// A typed (UTF-8) key name as the list keeps it (ANSI); refused (exit 2) when
// empty, longer than kKeyNameMaxBytes or not representable.
std::string key_list_name(const std::string& typed);
// The entry with this (ANSI) name, letter case aside; nullptr when none.
KeyListEntry* find_key(const KeyList& list, const std::string& ansi_name);
// Appends and stores an entry; refused (exit 2) when the name is taken or the
// path does not fit.
void add_key_to_list(KeyList& list, const std::string& ansi_name, const std::string& path);
// velix keys list | add | remove | rename.
void add_key_list_commands(CLI::App& keys, GlobalOptions& options);
// velix keys create.
void add_key_create_command(CLI::App& keys, GlobalOptions& options);

// The registrar: writes and removes the server's keys under
// HKEY_CLASSES_ROOT from registration scripts held as tables.
//
// A key marked kKeep is never deleted; a key marked kReplace is deleted with
// its whole subtree before it is written; every other key is created on
// registration and deleted on unregistration when it has no subkeys left.
// Texts may name the replacements %APPID%, %CLSID%, %LIBID% and %MODULE%.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>

#include "comserver/com_api.h"

enum class KeyRule { kNormal, kKeep, kReplace };

struct ScriptLine {
  const char* key;
  KeyRule rule;
  const char* value_name;  // null: the line only names the key; "" is the default value
  const char* data;        // a REG_SZ text
};

using Replacements = std::map<std::string, std::string>;

// The application id script (101) and the class script (102).
std::span<const ScriptLine> application_script();
std::span<const ScriptLine> class_script();

// Runs a script; the first registry failure ends it and is returned as an
// HRESULT.
HRESULT run_script(std::span<const ScriptLine> script, const Replacements& replacements, bool do_register);

// The replacement texts every script gets (APPID, CLSID, LIBID).
Replacements common_replacements();

// A UTF-8 file name as registry text in the registry's own encoding of
// names: UTF-8 in the hive files on Linux, the ANSI code page on Windows.
// nullopt when that encoding cannot hold one of its characters.
std::optional<std::string> registry_text_of_path(const std::string& utf8_path);

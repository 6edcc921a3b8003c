// Where each browser looks for native-messaging hosts on Windows: a key
// under HKEY_CURRENT_USER per host whose default value is the manifest's path.
#pragma once

#include <span>
#include <string>

#include "host_manifest.h"

namespace register_host {

struct Browser {
  const char* label;
  const wchar_t* hosts_key;  // under HKEY_CURRENT_USER
  ManifestKind manifest;
};

std::span<const Browser> browsers();

// Points HKEY_CURRENT_USER\key's default value at manifest_path.
bool register_manifest(const std::wstring& key, const std::wstring& manifest_path, std::string* why);

// Deletes HKEY_CURRENT_USER\key: 1 deleted, 0 was not there, -1 failed (*why).
int unregister(const std::wstring& key, std::string* why);

}  // namespace register_host

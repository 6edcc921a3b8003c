// The native-messaging host manifests: their text for a host at a given path,
// and writing them without harming a file that is there but cannot be read.
#pragma once

#include <string>
#include <string_view>

namespace register_host {

enum class ManifestKind { kChromium, kFirefox };

// The manifest for the host program at host_path (UTF-8).
std::string manifest_text(ManifestKind kind, std::string_view host_path);

// text as the inside of a JSON string.
std::string json_string_body(std::string_view text);

// Writes text to path (UTF-8), creating its folders; a manifest that is
// there but cannot be read is left as it is. false and *why on failure.
bool write_manifest(const std::wstring& path, const std::string& text, std::string* why);

// Removes the manifest at path: 1 removed, 0 was not there, -1 failed (*why).
int remove_manifest(const std::wstring& path, std::string* why);

}  // namespace register_host

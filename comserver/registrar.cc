#include "comserver/registrar.h"

#include <string_view>
#include <vector>

#include "comserver/guids.h"
#include "platform/registry.h"

namespace {

using platform::RegKey;
using platform::RegHive;

constexpr ScriptLine kApplicationScript[] = {
    {"AppID", KeyRule::kKeep, nullptr, nullptr},
    {"AppID\\%APPID%", KeyRule::kNormal, "", "velixcom"},
    {"AppID\\velixcom.DLL", KeyRule::kNormal, "AppID", "%APPID%"},
};

constexpr ScriptLine kClassScript[] = {
    {"velixcom2.Signer2.2", KeyRule::kNormal, "", "Signer Class"},
    {"velixcom2.Signer2.2\\CLSID", KeyRule::kNormal, "", "%CLSID%"},
    {"velixcom2.Signer2.1", KeyRule::kNormal, "", "Signer Class"},
    {"velixcom2.Signer2.1\\CLSID", KeyRule::kNormal, "", "%CLSID%"},
    {"velixcom2.Signer2.1\\CurVer", KeyRule::kNormal, "", "velixcom2.Signer2.2"},
    {"velixcom2.Signer2", KeyRule::kNormal, "", "Signer Class"},
    {"velixcom2.Signer2\\CLSID", KeyRule::kNormal, "", "%CLSID%"},
    {"velixcom2.Signer2\\CurVer", KeyRule::kNormal, "", "velixcom2.Signer2.2"},
    {"CLSID", KeyRule::kKeep, nullptr, nullptr},
    {"CLSID\\%CLSID%", KeyRule::kReplace, "", "Signer Class"},
    {"CLSID\\%CLSID%", KeyRule::kReplace, "AppID", "%APPID%"},
    {"CLSID\\%CLSID%\\ProgID", KeyRule::kNormal, "", "velixcom2.Signer2.2"},
    {"CLSID\\%CLSID%\\VersionIndependentProgID", KeyRule::kNormal, "", "velixcom2.Signer2"},
    {"CLSID\\%CLSID%\\Programmable", KeyRule::kReplace, nullptr, nullptr},
    {"CLSID\\%CLSID%\\InprocServer32", KeyRule::kNormal, "", "%MODULE%"},
    {"CLSID\\%CLSID%\\InprocServer32", KeyRule::kNormal, "ThreadingModel", "Both"},
    {"CLSID\\%CLSID%\\TypeLib", KeyRule::kNormal, "", "%LIBID%"},
};

std::string registry_form(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return std::string(text, text + 38);
}

// Substitutes %NAME% by its replacement; "%%" stands for "%".
std::string expand(std::string_view text, const Replacements& replacements) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const size_t end = text.find('%', i + 1);
    if (end == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    const std::string name(text.substr(i + 1, end - i - 1));
    if (name.empty()) {
      out += '%';
    } else if (auto found = replacements.find(name); found != replacements.end()) {
      out += found->second;
    } else {
      out += text.substr(i, end - i + 1);
    }
    i = end;
  }
  return out;
}

HRESULT as_hresult_of(long error) { return HRESULT_FROM_WIN32(error); }

struct Key {
  std::string path;
  KeyRule rule;
};

// The keys a script names, parents before children, each once.
std::vector<Key> keys_of(std::span<const ScriptLine> script, const Replacements& replacements) {
  std::vector<Key> keys;
  for (const ScriptLine& line : script) {
    std::string path = expand(line.key, replacements);
    bool seen = false;
    for (const Key& k : keys) seen = seen || k.path == path;
    if (!seen) keys.push_back({path, line.rule});
  }
  return keys;
}

HRESULT register_script(std::span<const ScriptLine> script, const Replacements& replacements) {
  RegKey root;
  long error = root.Open(RegHive::kClassesRoot, "");
  if (error != platform::kRegOk) error = root.Create(RegHive::kClassesRoot, "");
  if (error != platform::kRegOk) return as_hresult_of(error);
  for (const Key& key : keys_of(script, replacements)) {
    if (key.rule == KeyRule::kReplace) {
      error = root.DeleteTree(key.path);
      if (error != platform::kRegOk && error != platform::kRegNotFound) return as_hresult_of(error);
    }
    RegKey k;
    error = k.Create(RegHive::kClassesRoot, key.path);
    if (error != platform::kRegOk) return as_hresult_of(error);
  }
  for (const ScriptLine& line : script) {
    if (line.value_name == nullptr) continue;
    RegKey k;
    error = k.Open(RegHive::kClassesRoot, expand(line.key, replacements));
    if (error != platform::kRegOk) return as_hresult_of(error);
    const std::string data = expand(line.data, replacements);
    // REG_SZ data carry their terminating NUL.
    error = k.SetValue(line.value_name, platform::kRegSz, data.c_str(), static_cast<uint32_t>(data.size() + 1));
    if (error != platform::kRegOk) return as_hresult_of(error);
  }
  return S_OK;
}

HRESULT unregister_script(std::span<const ScriptLine> script, const Replacements& replacements) {
  RegKey root;
  long error = root.Open(RegHive::kClassesRoot, "");
  if (error == platform::kRegNotFound) return S_OK;  // nothing was ever registered
  if (error != platform::kRegOk) return as_hresult_of(error);
  const std::vector<Key> keys = keys_of(script, replacements);
  // Children first, so that a parent is empty by the time it is reached.
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
    if (key->rule == KeyRule::kKeep) continue;
    error = key->rule == KeyRule::kReplace ? root.DeleteTree(key->path) : root.DeleteSubKey(key->path);
    // A key that is gone already, or that holds keys of others, is left alone.
    if (error != platform::kRegOk && error != platform::kRegNotFound && error != platform::kRegAccessDenied)
      return as_hresult_of(error);
  }
  return S_OK;
}

}  // namespace

std::span<const ScriptLine> application_script() { return kApplicationScript; }
std::span<const ScriptLine> class_script() { return kClassScript; }

Replacements common_replacements() {
  return {{"APPID", kAppIdText}, {"CLSID", registry_form(CLSID_Signer2)}, {"LIBID", registry_form(LIBID_velixcomLib2)}};
}

HRESULT run_script(std::span<const ScriptLine> script, const Replacements& replacements, bool do_register) {
  return do_register ? register_script(script, replacements) : unregister_script(script, replacements);
}

// Dynamic libraries through the POSIX loader.
#include "platform/dynamic_library.h"

#include <dirent.h>
#include <dlfcn.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace platform {
namespace {

// A plain buffer: a thread-local object with a destructor would have to be
// destroyed after a library that links this file (velixcom) may be unloaded.
thread_local char t_last_error[512];

// The multiarch folder name of this build's target, as Debian names it.
#if defined(__x86_64__)
constexpr const char* kMultiarch = "x86_64-linux-gnu";
#elif defined(__aarch64__)
constexpr const char* kMultiarch = "aarch64-linux-gnu";
#elif defined(__i386__)
constexpr const char* kMultiarch = "i386-linux-gnu";
#elif defined(__arm__)
constexpr const char* kMultiarch = "arm-linux-gnueabihf";
#else
constexpr const char* kMultiarch = "";
#endif

// Library folders of packages, the multiarch ones first; vendors often put
// their PKCS#11 module in a pkcs11/ folder below them.
std::vector<std::string> library_folders() {
  std::vector<std::string> folders;
  if (*kMultiarch != '\0') {
    folders.push_back(std::string("/usr/lib/") + kMultiarch);
    folders.push_back(std::string("/usr/lib/") + kMultiarch + "/pkcs11");
  }
  for (const char* folder : {"/usr/lib", "/usr/lib/pkcs11", "/usr/local/lib", "/usr/local/lib/pkcs11"})
    folders.emplace_back(folder);
  return folders;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

void add_once(std::vector<std::string>& names, const std::string& name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// A library folder's shared objects (names ending in ".so" in any letter
// case, the only names looked for), each in lower case beside its name on
// disk. Each folder is read once per process: the system's library folders
// are large (thousands of entries), the engines ask for several vendors'
// libraries each, and they register once per process (again only after a
// reset, which tries the library recorded before it).
struct FolderEntry {
  std::string lowered;
  std::string name;
};

bool has_so_suffix(const char* name) {
  const size_t length = std::strlen(name);
  return length > 3 && strcasecmp(name + length - 3, ".so") == 0;
}

const std::vector<FolderEntry>& folder_index(const std::string& folder) {
  static std::mutex mutex;
  static std::map<std::string, std::vector<FolderEntry>> indexes;
  std::lock_guard<std::mutex> lock(mutex);
  auto [it, inserted] = indexes.try_emplace(folder);
  if (inserted) {
    if (DIR* dir = opendir(folder.c_str())) {
      while (const dirent* entry = readdir(dir))
        if (has_so_suffix(entry->d_name)) it->second.push_back({lower(entry->d_name), entry->d_name});
      closedir(dir);
    }
  }
  return it->second;
}

}  // namespace

std::string native_library_name(const char* name) {
  if (name == nullptr) return {};
  const size_t length = std::strlen(name);
  constexpr size_t kSuffix = 4;  // ".dll"
  if (length <= kSuffix || strcasecmp(name + length - kSuffix, ".dll") != 0) return name;
  // Only a bare file name takes the "lib" prefix; a path keeps its directory.
  const char* slash = std::strrchr(name, '/');
  const size_t base = slash == nullptr ? 0 : static_cast<size_t>(slash - name) + 1;
  std::string result(name, base);
  result += "lib";
  result.append(name + base, length - kSuffix - base);
  result += ".so";
  return result;
}

LibraryHandle load_library(const char* name) {
  t_last_error[0] = '\0';
  if (name == nullptr || *name == '\0') return nullptr;
  const std::string file = native_library_name(name);
  LibraryHandle handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    if (error != nullptr) std::snprintf(t_last_error, sizeof t_last_error, "%s", error);
  }
  return handle;
}

std::string last_library_error() { return t_last_error; }

void* library_symbol(LibraryHandle library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) return nullptr;
  return dlsym(library, symbol);
}

void free_library(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

std::vector<std::string> packaged_library_names(const char* name) {
  std::vector<std::string> names;
  if (name == nullptr || std::strchr(name, '/') != nullptr) return names;
  const size_t length = std::strlen(name);
  if (length <= 4 || strcasecmp(name + length - 4, ".dll") != 0) return names;
  const std::string stem(name, length - 4);
  const std::string native = native_library_name(name);
  // Bare names go through the loader path.
  for (const std::string& form : {native, stem + ".so", "lib" + lower(stem) + ".so", lower(stem) + ".so"})
    if (form != native) add_once(names, form);
  // Files in the library folders, in any letter case.
  const std::string wanted_prefixed = lower(native);
  const std::string wanted_bare = lower(stem) + ".so";
  for (const std::string& folder : library_folders()) {
    std::vector<std::string> found;
    for (const FolderEntry& entry : folder_index(folder))
      if (entry.lowered == wanted_prefixed || entry.lowered == wanted_bare) found.push_back(folder + "/" + entry.name);
    std::sort(found.begin(), found.end());  // the same order on every run
    for (const std::string& path : found) add_once(names, path);
  }
  return names;
}

std::vector<std::string> token_proxy_module_names() {
  std::vector<std::string> names{"p11-kit-proxy.so"};
  for (const std::string& folder : library_folders()) add_once(names, folder + "/p11-kit-proxy.so");
  return names;
}

}  // namespace platform

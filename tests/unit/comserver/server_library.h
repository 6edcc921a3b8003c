// The velixcom library loaded as a COM client loads it, with its entry points
// and a temporary configuration home for the registry hives.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "comserver/com/com.h"
#include "platform/dynamic_library.h"

struct ServerLibrary {
  platform::LibraryHandle handle = nullptr;
  DllGetClassObjectFunction get_class_object = nullptr;
  DllCanUnloadNowFunction can_unload_now = nullptr;
  DllRegisterServerFunction register_server = nullptr;
  DllRegisterServerFunction unregister_server = nullptr;

  explicit ServerLibrary(const char* path = VELIXCOM_LIBRARY) {
    handle = platform::load_library(path);
    if (handle == nullptr) return;
    get_class_object = reinterpret_cast<DllGetClassObjectFunction>(platform::library_symbol(handle, "DllGetClassObject"));
    can_unload_now = reinterpret_cast<DllCanUnloadNowFunction>(platform::library_symbol(handle, "DllCanUnloadNow"));
    register_server = reinterpret_cast<DllRegisterServerFunction>(platform::library_symbol(handle, "DllRegisterServer"));
    unregister_server = reinterpret_cast<DllRegisterServerFunction>(platform::library_symbol(handle, "DllUnregisterServer"));
  }
  // Never unloaded: velixcom keeps its engines for the life of the process,
  // as a script host that loaded it once does.
  ~ServerLibrary() = default;
  ServerLibrary(const ServerLibrary&) = delete;
  ServerLibrary& operator=(const ServerLibrary&) = delete;
};

// A private XDG_CONFIG_HOME for one test, removed afterwards.
class TempConfigHome {
 public:
  TempConfigHome() {
    char pattern[] = "/tmp/velixcom-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made != nullptr) path_ = made;
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
  }
  ~TempConfigHome() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

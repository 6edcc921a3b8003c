// What tests need from the system, the same on Linux and on Windows: fresh
// temporary directories and environment variables.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace test_support {

// Whether files carry POSIX permission bits. Windows keeps access in the
// ACL the file inherits from its folder (the user's profile) instead.
#ifdef _WIN32
constexpr bool kPosixFileModes = false;
#else
constexpr bool kPosixFileModes = true;
#endif

// A new, empty directory under the system's temporary directory, made
// exclusively (test programs that ctest runs side by side never share one).
inline std::string make_temp_dir(const std::string& prefix = "velix-test-") {
#ifdef _WIN32
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(dir, error)) return dir.string();
  }
  throw std::runtime_error("no temporary directory could be made");
#else
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
#endif
}

// Sets (value not null) or removes (value null) an environment variable.
inline void set_env(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value == nullptr ? "" : value);  // an empty value removes it
#else
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

}  // namespace test_support

// Skips a test whose expectations are facts of the Linux backend (the code
// page and UI language following the locale variables, the registry kept in
// hive files), with the reason; on Linux the test runs.
#ifdef _WIN32
#define VELIX_LINUX_FACT(reason) GTEST_SKIP() << "a fact of the Linux backend: " << reason
#else
#define VELIX_LINUX_FACT(reason) static_cast<void>(0)
#endif

namespace test_support {

// True when this Windows program runs under Wine (its ntdll tells).
inline bool running_under_wine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace test_support

// Skips a test whose expectations Wine does not meet, with the reason; it
// runs on Windows itself and on Linux.
#define VELIX_NOT_UNDER_WINE(reason) \
  if (test_support::running_under_wine()) GTEST_SKIP() << "Wine differs from Windows here: " << reason

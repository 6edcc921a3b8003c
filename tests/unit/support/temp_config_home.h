// Points XDG_CONFIG_HOME (where the registry hives live) at a fresh temporary
// directory for the lifetime of the object, and removes it afterwards. On
// Windows the registry is the system's, shared by the test programs that run
// side by side: there a fresh key serves as HKEY_CURRENT_USER instead.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "tests/support/portable.h"

class TempConfigHome {
 public:
  TempConfigHome() {
    dir_ = test_support::make_temp_dir();
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) previous_ = old, had_previous_ = true;
    test_support::set_env("XDG_CONFIG_HOME", dir_.c_str());
#ifdef _WIN32
    user_key_ = "Software\\VelixTests\\" + std::filesystem::path(dir_).filename().string();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, user_key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS)
      throw std::runtime_error("no registry key of its own for the test");
    RegCloseKey(key);
#endif
  }
  ~TempConfigHome() {
#ifdef _WIN32
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, user_key_.c_str());
#endif
    test_support::set_env("XDG_CONFIG_HOME", had_previous_ ? previous_.c_str() : nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempConfigHome(const TempConfigHome&) = delete;
  TempConfigHome& operator=(const TempConfigHome&) = delete;

  const std::string& dir() const { return dir_; }
  std::string hive_file() const { return dir_ + "/velixcom/HKEY_CURRENT_USER.reg"; }

 private:
  std::string dir_;
  std::string previous_;
  bool had_previous_ = false;
#ifdef _WIN32
  std::string user_key_;  // under the real HKEY_CURRENT_USER
#endif
};

// Sets one environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old, had_previous_ = true;
    test_support::set_env(name, value);
  }
  ~ScopedEnv() { test_support::set_env(name_.c_str(), had_previous_ ? previous_.c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string previous_;
  bool had_previous_ = false;
};

// Points XDG_CONFIG_HOME (where the registry hives live) at a fresh temporary
// directory for the lifetime of the object, and removes it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

class TempConfigHome {
 public:
  TempConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velix-test-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) previous_ = old, had_previous_ = true;
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  ~TempConfigHome() {
    if (had_previous_) {
      setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
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
};

// Sets one environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old, had_previous_ = true;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (had_previous_) {
      setenv(name_.c_str(), previous_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string previous_;
  bool had_previous_ = false;
};

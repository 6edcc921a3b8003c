// What tests need from the system, the same on Linux and on Windows: fresh
// temporary directories, environment variables, and the test program run
// again as a second process.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace test_support {

// Whether files carry POSIX permission bits. Windows keeps access in the
// ACL the file inherits from its folder (the user's profile) instead.
#ifdef _WIN32
constexpr bool kPosixFileModes = false;
#else
constexpr bool kPosixFileModes = true;
#endif

// Whether the registry is the Linux backend's hive store, which keeps values
// in the order they were created and REG_SZ data byte for byte. The Windows
// registry (Wine's at least) enumerates values in name order and its ANSI
// functions end every REG_SZ with a NUL.
#ifdef _WIN32
constexpr bool kRegistryIsHiveStore = false;
#else
constexpr bool kRegistryIsHiveStore = true;
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

// Runs this test program again with the given arguments and one more
// environment variable, and waits for it at most `deadline` (then it is
// killed). Its exit code, or -1 when it could not be started or was killed.
inline int run_this_program(const std::vector<std::string>& args, const std::string& env_name,
                            const std::string& env_value,
                            std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
#ifdef _WIN32
  wchar_t self[MAX_PATH];
  const DWORD self_length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (self_length == 0 || self_length == MAX_PATH) return -1;
  std::wstring command = L"\"" + std::wstring(self) + L"\"";
  for (const std::string& arg : args) command += L" \"" + std::wstring(arg.begin(), arg.end()) + L"\"";
  // The child inherits this process's environment, with the variable added for it.
  const char* old = std::getenv(env_name.c_str());
  const std::string previous = old != nullptr ? old : "";
  const bool had_previous = old != nullptr;
  set_env(env_name.c_str(), env_value.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  set_env(env_name.c_str(), had_previous ? previous.c_str() : nullptr);
  if (!started) return -1;
  CloseHandle(process.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(deadline.count())) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  CloseHandle(process.hProcess);
  return code == static_cast<DWORD>(-1) ? -1 : static_cast<int>(code);
#else
  std::string self = "/proc/self/exe";
  std::vector<std::string> arg_storage = args;
  std::vector<char*> argv = {self.data()};
  for (std::string& arg : arg_storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::string assignment = env_name + "=" + env_value;
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  env.push_back(assignment.data());
  env.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), env.data()) != 0) return -1;
  const auto end = std::chrono::steady_clock::now() + deadline;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

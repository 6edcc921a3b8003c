#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/module_path.h"
#include "tests/support/portable.h"

namespace {

// Which file the loader is asked for is a fact of each platform: Linux
// looks a Windows name up as a shared object, Windows loads it as named.
TEST(DynamicLibrary, WindowsNamesBecomeTheNativeNames) {
  const struct {
    const char* name;
    const char* on_linux;
    const char* on_windows;
  } cases[] = {
      {"rtPKCS11.dll", "librtPKCS11.so", "rtPKCS11.dll"},
      {"jcPKCS11-2.DLL", "libjcPKCS11-2.so", "jcPKCS11-2.DLL"},
      {"/opt/vendor/etpkcs11.dll", "/opt/vendor/libetpkcs11.so", "/opt/vendor/etpkcs11.dll"},
      {"libsofthsm2.so", "libsofthsm2.so", "libsofthsm2.so"},
      {".dll", ".dll", ".dll"},
      {"plain", "plain", "plain"},
  };
  for (const auto& c : cases) {
#ifdef _WIN32
    EXPECT_EQ(platform::native_library_name(c.name), c.on_windows) << c.name;
#else
    EXPECT_EQ(platform::native_library_name(c.name), c.on_linux) << c.name;
#endif
  }
}

TEST(DynamicLibrary, LoadsByWindowsNameAndFindsSymbols) {
#ifdef _WIN32
  // Every Windows process can load the system's kernel32.dll.
  const char* name = "kernel32.dll";
  const char* symbol = "GetTickCount";
#else
  // libcrypto.so comes with the OpenSSL development package the build needs.
  const char* name = "crypto.dll";
  const char* symbol = "OPENSSL_cleanse";
#endif
  platform::LibraryHandle library = platform::load_library(name);
  ASSERT_NE(library, nullptr);
  EXPECT_NE(platform::library_symbol(library, symbol), nullptr);
  EXPECT_EQ(platform::library_symbol(library, "no_such_symbol_here"), nullptr);
  platform::free_library(library);
}

TEST(DynamicLibrary, MissingLibrariesAndEmptyNamesFail) {
  EXPECT_EQ(platform::load_library("no-such-vendor-library.dll"), nullptr);
  EXPECT_EQ(platform::load_library(""), nullptr);
  EXPECT_EQ(platform::load_library(nullptr), nullptr);
  EXPECT_EQ(platform::library_symbol(nullptr, "C_GetFunctionList"), nullptr);
  platform::free_library(nullptr);
}

TEST(DynamicLibrary, PackagedNamesCoverPrefixCaseAndLibraryFolders) {
  VELIX_LINUX_FACT("packages install token modules as lib*.so files in the library folders");
  // p11-kit's proxy module is installed without the "lib" prefix, in lower case.
  const std::vector<std::string> names = platform::packaged_library_names("P11-Kit-Proxy.dll");
  auto has = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  EXPECT_FALSE(has("libP11-Kit-Proxy.so")) << "the native name is tried before these";
  EXPECT_TRUE(has("P11-Kit-Proxy.so"));
  EXPECT_TRUE(has("libp11-kit-proxy.so"));
  EXPECT_TRUE(has("p11-kit-proxy.so"));
  EXPECT_TRUE(has("/usr/lib/x86_64-linux-gnu/p11-kit-proxy.so"));
  // A found file loads; a name in another letter case loads through its lower-case form.
  platform::LibraryHandle library = platform::load_library("/usr/lib/x86_64-linux-gnu/p11-kit-proxy.so");
  ASSERT_NE(library, nullptr);
  EXPECT_NE(platform::library_symbol(library, "C_GetFunctionList"), nullptr);
  platform::free_library(library);
  platform::LibraryHandle crypto = nullptr;
  for (const std::string& name : platform::packaged_library_names("CRYPTO.dll"))
    if ((crypto = platform::load_library(name.c_str())) != nullptr) break;
  EXPECT_NE(crypto, nullptr);
  platform::free_library(crypto);

  EXPECT_TRUE(platform::packaged_library_names("/opt/x/rtPKCS11.dll").empty());
  EXPECT_TRUE(platform::packaged_library_names("plain.so").empty());
}

TEST(DynamicLibrary, FailedLoadSaysWhy) {
  EXPECT_EQ(platform::load_library("no-such-vendor-library.dll"), nullptr);
#ifdef _WIN32
  // The loader's reason, which does not name the file.
  EXPECT_NE(platform::last_library_error(), "");
  platform::LibraryHandle library = platform::load_library("kernel32.dll");
#else
  EXPECT_NE(platform::last_library_error().find("libno-such-vendor-library.so"), std::string::npos)
      << platform::last_library_error();
  platform::LibraryHandle library = platform::load_library("crypto.dll");
#endif
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(platform::last_library_error(), "");
  platform::free_library(library);
}

// The program's own file, which velixhost finds its dialog module beside:
// the same file the loader reports for code of this program.
TEST(DynamicLibrary, ExecutableFileNameIsThisProgram) {
  const std::string program = platform::executable_file_name();
  const std::string base = program.substr(program.find_last_of("/\\") + 1);
  EXPECT_TRUE(base == "test_dynamic_library" || base == "test_dynamic_library.exe") << program;
  EXPECT_EQ(program, platform::module_file_name(reinterpret_cast<const void*>(&platform::executable_file_name)));
}

}  // namespace

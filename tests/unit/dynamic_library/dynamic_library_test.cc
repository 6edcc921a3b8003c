#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

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

}  // namespace

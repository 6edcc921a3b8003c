#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

namespace {

TEST(DynamicLibrary, WindowsNamesBecomeSharedObjectNames) {
  const struct {
    const char* name;
    const char* expected;
  } cases[] = {
      {"rtPKCS11.dll", "librtPKCS11.so"},
      {"jcPKCS11-2.DLL", "libjcPKCS11-2.so"},
      {"/opt/vendor/etpkcs11.dll", "/opt/vendor/libetpkcs11.so"},
      {"libsofthsm2.so", "libsofthsm2.so"},
      {".dll", ".dll"},
      {"plain", "plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::native_library_name(c.name), c.expected) << c.name;
}

TEST(DynamicLibrary, LoadsByWindowsNameAndFindsSymbols) {
  // libcrypto.so comes with the OpenSSL development package the build needs.
  platform::LibraryHandle library = platform::load_library("crypto.dll");
  ASSERT_NE(library, nullptr);
  EXPECT_NE(platform::library_symbol(library, "OPENSSL_cleanse"), nullptr);
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

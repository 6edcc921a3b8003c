// The PKCS#11 interface header, which the Windows build takes from the same
// p11-kit package as the Linux one: token libraries for Windows are built
// with its structures packed to single bytes and a 32-bit CK_ULONG, Linux
// modules with natural alignment and a 64-bit one. A header that got this
// wrong would hand every vendor library misplaced attribute values.
#include <gtest/gtest.h>
#include <p11-kit/pkcs11.h>

#include <cstddef>

namespace {

TEST(Pkcs11Interface, StructuresAreLaidOutAsThisSystemsTokenLibrariesExpect) {
#ifdef _WIN32
  EXPECT_EQ(sizeof(CK_ULONG), 4u);
  EXPECT_EQ(offsetof(CK_ATTRIBUTE, pValue), 4u);
  EXPECT_EQ(sizeof(CK_ATTRIBUTE), 16u);
  EXPECT_EQ(offsetof(CK_FUNCTION_LIST, C_Initialize), 2u);  // right after the 2-byte version
#else
  EXPECT_EQ(sizeof(CK_ULONG), 8u);
  EXPECT_EQ(offsetof(CK_ATTRIBUTE, pValue), 8u);
  EXPECT_EQ(sizeof(CK_ATTRIBUTE), 24u);
  EXPECT_EQ(offsetof(CK_FUNCTION_LIST, C_Initialize), 8u);
#endif
}

}  // namespace

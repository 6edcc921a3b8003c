#include <gtest/gtest.h>

#include <string>

#include "comserver/com/com.h"
#include "comserver/guids.h"
#include "comserver/isigner.h"
#include "platform/registry.h"
#include "server_library.h"

namespace {

class Properties : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.get_class_object, nullptr);
    a = NewSigner();
    b = NewSigner();
    ASSERT_TRUE(a && b);
  }
  void TearDown() override {
    if (a) a->Release();
    if (b) b->Release();
  }
  ISigner* NewSigner() {
    IClassFactory* factory = nullptr;
    if (lib.get_class_object(CLSID_Signer2, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK)
      return nullptr;
    ISigner* signer = nullptr;
    factory->CreateInstance(nullptr, IID_ISigner, reinterpret_cast<void**>(&signer));
    factory->Release();
    return signer;
  }
  static std::u16string Read(ISigner* s, HRESULT (STDMETHODCALLTYPE ISigner::*getter)(BSTR*)) {
    BSTR value = nullptr;
    EXPECT_EQ((s->*getter)(&value), S_OK);
    EXPECT_NE(value, nullptr);  // results are allocated, even when empty
    std::u16string text(bstr_view(value));
    SysFreeString(value);
    return text;
  }
  static void Write(ISigner* s, HRESULT (STDMETHODCALLTYPE ISigner::*setter)(BSTR), const std::u16string& text) {
    BSTR value = bstr_from(text);
    EXPECT_EQ((s->*setter)(value), S_OK);
    SysFreeString(value);
  }

  TempConfigHome home;
  ServerLibrary lib;
  ISigner* a = nullptr;
  ISigner* b = nullptr;
};

TEST_F(Properties, LanguageIsEnglishOnlyForExactlyEn) {
  const struct {
    const char16_t* written;
    const char16_t* read;
  } cases[] = {{u"en", u"en"}, {u"EN", u"ru"}, {u"en-US", u"ru"}, {u"", u"ru"}, {u"de", u"ru"}, {u"ru", u"ru"}};
  for (const auto& c : cases) {
    Write(a, &ISigner::put_Language, c.written);
    EXPECT_EQ(Read(b, &ISigner::get_Language), c.read) << std::string(c.written, c.written + std::char_traits<char16_t>::length(c.written));
  }
}

TEST_F(Properties, SessionIsSharedAndTooLongTextsLeaveItEmpty) {
  Write(a, &ISigner::put_Session, u"Session 7");
  EXPECT_EQ(Read(b, &ISigner::get_Session), u"Session 7");
  const std::u16string fits(254, u'x');
  Write(b, &ISigner::put_Session, fits);
  EXPECT_EQ(Read(a, &ISigner::get_Session), fits);
  for (size_t length : {255u, 300u}) {
    Write(a, &ISigner::put_Session, u"before");
    Write(a, &ISigner::put_Session, std::u16string(length, u'y'));
    EXPECT_EQ(Read(b, &ISigner::get_Session), u"") << length;
  }
  EXPECT_EQ(a->put_Session(nullptr), S_OK);  // a null BSTR is an empty text
  EXPECT_EQ(Read(a, &ISigner::get_Session), u"");
}

TEST_F(Properties, UseUtf8IsResetWhenAnyObjectIsReleased) {
  VARIANT_BOOL value = 7;
  EXPECT_EQ(a->get_useUtf8(nullptr), E_INVALIDARG);
  // Only the low 16 bits count.
  ASSERT_EQ(a->put_useUtf8(static_cast<VARIANT_BOOL>(5)), S_OK);
  EXPECT_EQ(b->get_useUtf8(&value), S_OK);
  EXPECT_EQ(value, VARIANT_TRUE);
  ASSERT_EQ(a->put_useUtf8(VARIANT_FALSE), S_OK);
  b->get_useUtf8(&value);
  EXPECT_EQ(value, VARIANT_FALSE);

  ASSERT_EQ(a->put_useUtf8(VARIANT_TRUE), S_OK);
  ISigner* third = NewSigner();
  ASSERT_NE(third, nullptr);
  third->Release();
  a->get_useUtf8(&value);
  EXPECT_EQ(value, VARIANT_FALSE);
}

TEST_F(Properties, UseScreenKbdIsStoredInTheRegistryAtOnce) {
  int value = 7;
  EXPECT_EQ(a->get_UseScreenKbd(nullptr), E_INVALIDARG);
  ASSERT_EQ(a->put_UseScreenKbd(0), S_OK);
  EXPECT_EQ(b->get_UseScreenKbd(&value), S_OK);
  EXPECT_EQ(value, 0);
  platform::RegKey key;
  ASSERT_EQ(key.Open(platform::RegHive::kCurrentUser, "SoftWare\\VelixCom"), platform::kRegOk);
  uint32_t type = 0;
  uint32_t stored = 99;
  uint32_t size = sizeof stored;
  ASSERT_EQ(key.QueryValue("VK", &type, &stored, &size), platform::kRegOk);
  EXPECT_EQ(type, static_cast<uint32_t>(platform::kRegDword));
  EXPECT_EQ(stored, 0u);
}

}  // namespace

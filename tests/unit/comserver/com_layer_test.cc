#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "comserver/com/com.h"

namespace {

std::u16string text(BSTR b) { return std::u16string(bstr_view(b)); }

TEST(Bstr, LengthPrefixAndTerminatorHaveTheWindowsLayout) {
  BSTR b = SysAllocString(u"abc");
  ASSERT_NE(b, nullptr);
  uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<char*>(b) - 4, 4);
  EXPECT_EQ(prefix, 6u);  // bytes, not characters
  EXPECT_EQ(b[3], 0);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(SysStringByteLen(b), 6u);
  SysFreeString(b);
}

TEST(Bstr, AllocationRules) {
  // A null BSTR is an empty text to every reader, and freeing it is harmless.
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);

  // Without a source the characters are zero; embedded NULs are kept.
  BSTR zeros = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(text(zeros), std::u16string(3, u'\0'));
  SysFreeString(zeros);
  BSTR embedded = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(embedded), 3u);
  SysFreeString(embedded);

  // Byte lengths may be odd; the character length rounds down.
  BSTR odd = SysAllocStringByteLen("xyz", 3);
  ASSERT_NE(odd, nullptr);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  EXPECT_EQ(std::memcmp(odd, "xyz\0\0", 5), 0);
  SysFreeString(odd);

  // Sizes beyond the 32-bit byte count fail cleanly.
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFFu), nullptr);
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}

TEST(Bstr, ReallocationMayCopyFromTheOldText) {
  BSTR b = SysAllocString(u"hello world");
  ASSERT_TRUE(SysReAllocString(&b, b + 6));
  EXPECT_EQ(text(b), u"world");
  ASSERT_TRUE(SysReAllocStringLen(&b, b, 2));
  EXPECT_EQ(text(b), u"wo");
  ASSERT_TRUE(SysReAllocString(&b, nullptr));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 0u);
  SysFreeString(b);
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
}

TEST(Guid, RegistryFormRoundTripsAndIsUpperCase) {
  static_assert(offsetof(GUID, Data2) == 4 && offsetof(GUID, Data3) == 6 && offsetof(GUID, Data4) == 8);
  const GUID g = {0x0123abcd, 0x4e5f, 0x6a7b, {0x8c, 0x9d, 0xae, 0xbf, 0x01, 0x02, 0x03, 0xf4}};
  OLECHAR buffer[39];
  ASSERT_EQ(StringFromGUID2(g, buffer, 39), 39);
  EXPECT_EQ(std::u16string(buffer), u"{0123ABCD-4E5F-6A7B-8C9D-AEBF010203F4}");
  EXPECT_EQ(StringFromGUID2(g, buffer, 38), 0);

  GUID parsed{};
  ASSERT_EQ(CLSIDFromString(u"{0123abcd-4E5F-6a7b-8C9D-aebf010203F4}", &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, g));
  EXPECT_FALSE(IsEqualGUID(parsed, IID_IUnknown));
}

TEST(Guid, MalformedTextsAreRefused) {
  const char16_t* bad[] = {
      u"",
      u"0123ABCD-4E5F-6A7B-8C9D-AEBF010203F4",
      u"{0123ABCD-4E5F-6A7B-8C9D-AEBF010203F4",
      u"{0123ABCD-4E5F-6A7B-8C9D-AEBF010203F4}x",
      u"{0123ABCD_4E5F-6A7B-8C9D-AEBF010203F4}",
      u"{0123ABCG-4E5F-6A7B-8C9D-AEBF010203F4}",
      u"{0123ABCD-4E5F-6A7B-8C9DAEBF010203F4}}",
  };
  for (const char16_t* t : bad) {
    GUID g{};
    EXPECT_EQ(CLSIDFromString(t, &g), E_INVALIDARG) << std::string(t, t + std::char_traits<char16_t>::length(t));
  }
  GUID g{};
  EXPECT_EQ(CLSIDFromString(nullptr, &g), E_INVALIDARG);
}

TEST(HResult, Win32ErrorsMapIntoTheWin32Facility) {
  EXPECT_EQ(static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)), 0x8007007Au);
  EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
  EXPECT_EQ(static_cast<uint32_t>(HRESULT_FROM_WIN32(87)), static_cast<uint32_t>(E_INVALIDARG));
  EXPECT_TRUE(FAILED(E_NOTIMPL));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
}

VARIANT make_i4(LONG v) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_I4;
  x.lVal = v;
  return x;
}
VARIANT make_r8(double v) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_R8;
  x.dblVal = v;
  return x;
}
VARIANT make_text(const char16_t* t) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_BSTR;
  x.bstrVal = SysAllocString(t);
  return x;
}

TEST(Variant, CoercionsToIntegersAndBooleans) {
  struct Case {
    VARIANT source;
    VARTYPE target;
    HRESULT result;
    int64_t value;
  };
  Case cases[] = {
      {make_r8(2.5), VT_I4, S_OK, 2},  // half to even
      {make_r8(3.5), VT_I4, S_OK, 4},
      {make_r8(-2.5), VT_INT, S_OK, -2},
      {make_r8(3e10), VT_I4, DISP_E_OVERFLOW, 0},
      {make_i4(40000), VT_I2, DISP_E_OVERFLOW, 0},
      {make_i4(-1), VT_UI1, DISP_E_OVERFLOW, 0},
      {make_text(u" 42 "), VT_I4, S_OK, 42},
      {make_text(u"-7"), VT_INT, S_OK, -7},
      {make_text(u"4x"), VT_I4, DISP_E_TYPEMISMATCH, 0},
      {make_text(u""), VT_I4, DISP_E_TYPEMISMATCH, 0},
      {make_text(u"True"), VT_I4, S_OK, -1},
      {make_i4(5), VT_BOOL, S_OK, VARIANT_TRUE},
      {make_i4(0), VT_BOOL, S_OK, VARIANT_FALSE},
      {make_text(u"false"), VT_BOOL, S_OK, VARIANT_FALSE},
      {make_r8(0.25), VT_BOOL, S_OK, VARIANT_TRUE},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Case& c = cases[i];
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(VariantChangeType(&out, &c.source, 0, c.target), c.result) << "case " << i;
    if (c.result == S_OK) {
      EXPECT_EQ(out.vt, c.target) << "case " << i;
      const int64_t got = c.target == VT_I2 ? out.iVal : c.target == VT_BOOL ? out.boolVal : out.lVal;
      EXPECT_EQ(got, c.value) << "case " << i;
    } else {
      EXPECT_EQ(out.vt, VT_EMPTY) << "case " << i;
    }
    VariantClear(&out);
    VariantClear(&c.source);
  }
  VARIANT null_value;
  VariantInit(&null_value);
  null_value.vt = VT_NULL;
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(VariantChangeType(&out, &null_value, 0, VT_I4), DISP_E_TYPEMISMATCH);
}

TEST(Variant, TextsFromNumbersAndReferencesAndInPlace) {
  VARIANT v = make_i4(-12);
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
  EXPECT_EQ(text(v.bstrVal), u"-12");
  // In place back to a number: the text is released (the leak checker sees it).
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(v.lVal, -12);

  VARIANT b;
  VariantInit(&b);
  b.vt = VT_BOOL;
  b.boolVal = VARIANT_TRUE;
  VARIANT s;
  VariantInit(&s);
  ASSERT_EQ(VariantChangeType(&s, &b, 0, VT_BSTR), S_OK);
  EXPECT_EQ(text(s.bstrVal), u"-1");
  VariantClear(&s);

  // A reference is followed once; the referenced text is copied, not taken.
  BSTR owned = SysAllocString(u"123");
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_BSTR;
  ref.pbstrVal = &owned;
  ASSERT_EQ(VariantChangeType(&s, &ref, 0, VT_BSTR), S_OK);
  EXPECT_NE(s.bstrVal, owned);
  EXPECT_EQ(text(s.bstrVal), u"123");
  VariantClear(&s);
  ASSERT_EQ(VariantChangeType(&s, &ref, 0, VT_I4), S_OK);
  EXPECT_EQ(s.lVal, 123);
  EXPECT_EQ(VariantClear(&ref), S_OK);  // a reference owns nothing
  EXPECT_EQ(text(owned), u"123");
  SysFreeString(owned);

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

// Counts references, to see what variants and the marshaler do with them.
struct CountingUnknown : IUnknown {
  ULONG count = 1;
  int queries = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    ++queries;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
};

TEST(Variant, CopiesAreDeepAndClearReleases) {
  CountingUnknown unknown;
  VARIANT a;
  VariantInit(&a);
  a.vt = VT_UNKNOWN;
  a.punkVal = &unknown;
  unknown.AddRef();
  VARIANT b;
  VariantInit(&b);
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(unknown.count, 3u);
  VariantClear(&a);
  VariantClear(&b);
  EXPECT_EQ(unknown.count, 1u);

  VARIANT t = make_text(u"copy me");
  VARIANT u;
  VariantInit(&u);
  ASSERT_EQ(VariantCopy(&u, &t), S_OK);
  EXPECT_NE(u.bstrVal, t.bstrVal);
  EXPECT_EQ(text(u.bstrVal), u"copy me");
  // Copying over a text releases the old one.
  ASSERT_EQ(VariantCopy(&u, &t), S_OK);
  VariantClear(&t);
  VariantClear(&u);
}

TEST(FreeThreadedMarshaler, AggregatedMarshalerDelegatesToItsOuterObject) {
  CountingUnknown outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(CoCreateFreeThreadedMarshaler(&outer, &inner), S_OK);
  ASSERT_NE(inner, nullptr);
  IMarshal* marshal = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
  // The reference taken for IMarshal is the outer object's.
  EXPECT_EQ(outer.count, 2u);
  CLSID unmarshaler{};
  EXPECT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, nullptr, 0, nullptr, 0, &unmarshaler), S_OK);
  EXPECT_TRUE(IsEqualCLSID(unmarshaler, CLSID_InProcFreeMarshaler));
  // IMarshal's QueryInterface goes to the outer object too.
  void* other = nullptr;
  EXPECT_EQ(marshal->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(outer.queries, 1);
  marshal->Release();
  EXPECT_EQ(outer.count, 1u);
  void* dispatch = nullptr;
  EXPECT_EQ(inner->QueryInterface(IID_IDispatch, &dispatch), E_NOINTERFACE);
  EXPECT_EQ(inner->Release(), 0u);
}

}  // namespace

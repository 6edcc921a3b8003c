#include "comserver/com/guid.h"

const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IMarshal = {0x00000003, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IObjectSafety = {0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const CLSID CLSID_InProcFreeMarshaler = {0x0000033A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const CLSID CLSID_PSOAInterface = {0x00020424, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

constexpr int kGuidTextLength = 38;  // without the NUL

void put_hex(LPOLESTR out, uint64_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = static_cast<OLECHAR>(kDigits[value & 0xF]);
    value >>= 4;
  }
}

int hex_value(OLECHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool read_hex(LPCOLESTR in, int digits, uint64_t* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = hex_value(in[i]);
    if (v < 0) return false;
    *value = (*value << 4) | static_cast<uint64_t>(v);
  }
  return true;
}

}  // namespace

int StringFromGUID2(REFGUID guid, LPOLESTR text, int cchMax) {
  if (text == nullptr || cchMax <= kGuidTextLength) return 0;
  text[0] = u'{';
  put_hex(text + 1, guid.Data1, 8);
  text[9] = u'-';
  put_hex(text + 10, guid.Data2, 4);
  text[14] = u'-';
  put_hex(text + 15, guid.Data3, 4);
  text[19] = u'-';
  put_hex(text + 20, static_cast<uint64_t>(guid.Data4[0]) << 8 | guid.Data4[1], 4);
  text[24] = u'-';
  for (int i = 0; i < 6; ++i) put_hex(text + 25 + 2 * i, guid.Data4[2 + i], 2);
  text[37] = u'}';
  text[38] = 0;
  return kGuidTextLength + 1;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (text == nullptr || clsid == nullptr) return E_INVALIDARG;
  for (int i = 0; i < kGuidTextLength; ++i)
    if (text[i] == 0) return E_INVALIDARG;
  if (text[0] != u'{' || text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-' ||
      text[37] != u'}' || text[38] != 0)
    return E_INVALIDARG;
  GUID g{};
  uint64_t v = 0;
  if (!read_hex(text + 1, 8, &v)) return E_INVALIDARG;
  g.Data1 = static_cast<uint32_t>(v);
  if (!read_hex(text + 10, 4, &v)) return E_INVALIDARG;
  g.Data2 = static_cast<uint16_t>(v);
  if (!read_hex(text + 15, 4, &v)) return E_INVALIDARG;
  g.Data3 = static_cast<uint16_t>(v);
  if (!read_hex(text + 20, 4, &v)) return E_INVALIDARG;
  g.Data4[0] = static_cast<uint8_t>(v >> 8);
  g.Data4[1] = static_cast<uint8_t>(v);
  for (int i = 0; i < 6; ++i) {
    if (!read_hex(text + 25 + 2 * i, 2, &v)) return E_INVALIDARG;
    g.Data4[2 + i] = static_cast<uint8_t>(v);
  }
  *clsid = g;
  return S_OK;
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid) { return CLSIDFromString(text, iid); }

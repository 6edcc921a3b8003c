#include "comserver/signer2.h"

#include <atomic>
#include <cstring>
#include <new>

#include "comserver/dispatch.h"
#include "comserver/guids.h"
#include "comserver/module.h"
#include "comserver/type_description.h"
#include "comserver/type_library_registry.h"
#include "platform/codepage.h"
#include "platform/ui_language.h"
#include "signer/config.h"

namespace {

constexpr DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

// The session text is one per process in the COM server: 254 ANSI characters
// and the NUL.
constexpr size_t kSessionSize = 255;
char g_session[kSessionSize] = {};

// The type library is looked up in the registry once it is registered, and
// kept for the process.
std::atomic<bool> g_type_library_loaded{false};

HRESULT type_library() {
  if (g_type_library_loaded) return S_OK;
  const HRESULT hr = load_registered_type_library(velixcom_type_library());
  if (SUCCEEDED(hr)) g_type_library_loaded = true;
  return hr;
}

BSTR text_result(std::u16string_view text) { return bstr_from(text); }

}  // namespace

CSigner2::CSigner2(CvelixcomModule& module) : module_(module) { module_.Lock(); }

CSigner2::~CSigner2() {
  // The COM build turns UTF-8 off again whenever an object goes away.
  Config::Instance().useUtf8 = 0;
  if (marshaler_ != nullptr) marshaler_->Release();
  module_.Unlock();
}

HRESULT CSigner2::FinalConstruct() { return CoCreateFreeThreadedMarshaler(ControllingUnknown(), &marshaler_); }

HRESULT CSigner2::CreateInstance(CvelixcomModule& module, REFIID riid, void** ppv) {
  auto* object = new (std::nothrow) CSigner2(module);
  if (object == nullptr) return E_OUTOFMEMORY;
  // A reference of our own while the object is set up, so that a query that
  // fails cannot leave it half-released.
  object->AddRef();
  HRESULT hr = object->FinalConstruct();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

// IUnknown

bool CSigner2::Answers(REFIID riid) const {
  return IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISigner) || IsEqualIID(riid, IID_IDispatch) ||
         IsEqualIID(riid, IID_IObjectSafety) || IsEqualIID(riid, IID_IMarshal);
}

HRESULT CSigner2::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  *ppvObject = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISigner) || IsEqualIID(riid, IID_IDispatch)) {
    *ppvObject = static_cast<ISigner*>(this);
  } else if (IsEqualIID(riid, IID_IObjectSafety)) {
    *ppvObject = static_cast<IObjectSafety*>(this);
  } else if (IsEqualIID(riid, IID_IMarshal) && marshaler_ != nullptr) {
    return marshaler_->QueryInterface(riid, ppvObject);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CSigner2::AddRef() { return ++references_; }

ULONG CSigner2::Release() {
  const ULONG count = --references_;
  if (count == 0) delete this;
  return count;
}

// IDispatch

HRESULT CSigner2::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT CSigner2::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  const HRESULT hr = type_library();
  if (FAILED(hr)) return hr;
  // Not yet available: there is no ITypeInfo object over the type
  // description; clients bind by name through GetIDsOfNames.
  return E_NOTIMPL;
}

HRESULT CSigner2::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const HRESULT hr = type_library();
  if (FAILED(hr)) return hr;
  return dispatch_ids_of_names(isigner_description(), rgszNames, cNames, rgDispId);
}

HRESULT CSigner2::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const HRESULT hr = type_library();
  if (FAILED(hr)) return hr;
  return dispatch_invoke(isigner_description(), static_cast<ISigner*>(this), dispIdMember, wFlags, pDispParams,
                         pVarResult, pExcepInfo, puArgErr);
}

// ISigner: per-object properties

HRESULT CSigner2::get_Customer(LONG* pVal) {
  *pVal = customer_;
  return S_OK;
}

HRESULT CSigner2::put_Customer(LONG newVal) {
  customer_ = newVal;
  return S_OK;
}

HRESULT CSigner2::get_Operator(LONG* pVal) {
  *pVal = operator_;
  return S_OK;
}

HRESULT CSigner2::put_Operator(LONG newVal) {
  operator_ = newVal;
  return S_OK;
}

HRESULT CSigner2::get_Error(int* pVal) {
  *pVal = error_;
  return S_OK;
}

HRESULT CSigner2::DecryptMessage(BSTR, LONG, BSTR*) { return E_NOTIMPL; }

// ISigner: process-wide settings

HRESULT CSigner2::get_Session(BSTR* pVal) {
  *pVal = text_result(platform::ansi_to_utf16(g_session));
  return S_OK;
}

HRESULT CSigner2::put_Session(BSTR newVal) {
  // A text that does not fit leaves the session empty.
  const auto ansi = platform::utf16_to_ansi(bstr_view(newVal), kSessionSize - 1);
  std::memset(g_session, 0, kSessionSize);
  if (ansi) std::memcpy(g_session, ansi->data(), ansi->size());
  return S_OK;
}

HRESULT CSigner2::get_useUtf8(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_INVALIDARG;
  *pVal = Config::Instance().useUtf8 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT CSigner2::put_useUtf8(VARIANT_BOOL newVal) {
  Config::Instance().useUtf8 = static_cast<uint16_t>(newVal) != 0 ? 1 : 0;
  return S_OK;
}

HRESULT CSigner2::get_UseScreenKbd(int* pVal) {
  if (pVal == nullptr) return E_INVALIDARG;
  *pVal = Config::Instance().VK;
  return S_OK;
}

HRESULT CSigner2::put_UseScreenKbd(int newVal) {
  Config& config = Config::Instance();
  config.VK = newVal;
  config.Save();
  return S_OK;
}

HRESULT CSigner2::get_Language(BSTR* pszResult) {
  *pszResult = text_result(Config::Instance().language == platform::kLangEnglish ? u"en" : u"ru");
  return S_OK;
}

HRESULT CSigner2::put_Language(BSTR newVal) {
  const auto ansi = platform::utf16_to_ansi(bstr_view(newVal));
  Config::Instance().language = ansi && *ansi == "en" ? platform::kLangEnglish : platform::kLangRussian;
  return S_OK;
}

// ISigner: NOT YET WIRED. The signer's operations (signing, statements, key
// list, authorization) are not built yet; until they are these members answer
// E_NOTIMPL and write nothing.

HRESULT CSigner2::SignMessage(BSTR, BSTR*) { return E_NOTIMPL; }
HRESULT CSigner2::GetStatement(BSTR, BSTR, BSTR*) { return E_NOTIMPL; }
HRESULT CSigner2::SignFile(BSTR, BSTR*) { return E_NOTIMPL; }
HRESULT CSigner2::ChangeUser() { return E_NOTIMPL; }
HRESULT CSigner2::EditKeys() { return E_NOTIMPL; }
HRESULT CSigner2::Reset() { return E_NOTIMPL; }

// IObjectSafety

HRESULT CSigner2::GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions, DWORD* pdwEnabledOptions) {
  if (pdwSupportedOptions == nullptr || pdwEnabledOptions == nullptr) return E_POINTER;
  if (!Answers(riid)) {
    *pdwSupportedOptions = 0;
    *pdwEnabledOptions = 0;
    return E_NOINTERFACE;
  }
  *pdwSupportedOptions = kSafeOptions;
  *pdwEnabledOptions = safety_options_;
  return S_OK;
}

HRESULT CSigner2::SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask, DWORD dwEnabledOptions) {
  if (!Answers(riid)) return E_NOINTERFACE;
  if ((dwOptionSetMask & ~kSafeOptions) != 0) return E_FAIL;
  safety_options_ = (safety_options_ & ~dwOptionSetMask) | (dwEnabledOptions & dwOptionSetMask);
  return S_OK;
}

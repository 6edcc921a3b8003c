#include "comserver/signer2.h"

#include <cstdint>
#include <new>

#include "comserver/automation.h"
#include "comserver/guids.h"
#include "comserver/module.h"
#include "platform/codepage.h"
#include "platform/ui_language.h"
#include "settings/config.h"
#include "ui/load_string.h"

namespace {

constexpr DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

BSTR text_result(std::u16string_view text) { return bstr_from(text); }

// Runs a signer operation with a text result and hands the text over as a
// new BSTR (an empty one when the operation gave none).
template <typename Operation>
HRESULT text_operation(BSTR* result, Operation operation) {
  std::u16string text;
  const HRESULT hr = operation(result != nullptr ? &text : nullptr);
  if (result != nullptr) *result = text_result(text);
  return hr;
}

// Runs a signer getter of a 32-bit number into the member's own type (LONG
// is long on Windows, int elsewhere).
template <typename Number, typename Getter>
HRESULT number_result(Number* result, Getter getter) {
  int32_t value = 0;
  const HRESULT hr = getter(&value);
  if (result != nullptr) *result = value;
  return hr;
}

}  // namespace

// The signer member starts the core with the first object of the process.
CSigner2::CSigner2(CvelixcomModule& module) : module_(module) {
  module_.Lock();
  ui::InstallResourceStrings();  // message boxes take their texts from the string table
}

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
  return isigner_type_info(ppTInfo);
}

HRESULT CSigner2::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return isigner_ids_of_names(rgszNames, cNames, rgDispId);
}

HRESULT CSigner2::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return isigner_invoke(static_cast<ISigner*>(this), dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                        puArgErr);
}

// ISigner: every member is the signer's own operation or property. The
// signer is of the COM server's flavour: no signer lock, one Session per
// process, Customer, Operator and Error per object.

HRESULT CSigner2::SignMessage(BSTR szMessage, BSTR* pszResult) {
  return text_operation(pszResult, [&](std::u16string* text) { return signer_.SignMessage(bstr_view(szMessage), text); });
}

HRESULT CSigner2::get_Customer(LONG* pVal) {
  return number_result(pVal, [&](int32_t* n) { return signer_.get_Customer(n); });
}
HRESULT CSigner2::put_Customer(LONG newVal) { return signer_.put_Customer(newVal); }
HRESULT CSigner2::get_Operator(LONG* pVal) {
  return number_result(pVal, [&](int32_t* n) { return signer_.get_Operator(n); });
}
HRESULT CSigner2::put_Operator(LONG newVal) { return signer_.put_Operator(newVal); }

HRESULT CSigner2::get_Session(BSTR* pVal) {
  return text_operation(pVal, [&](std::u16string* text) { return signer_.get_Session(text); });
}

HRESULT CSigner2::put_Session(BSTR newVal) { return signer_.put_Session(bstr_view(newVal)); }

HRESULT CSigner2::GetStatement(BSTR szFrom, BSTR szTo, BSTR* pszRequest) {
  return text_operation(pszRequest, [&](std::u16string* text) {
    return signer_.GetStatement(bstr_view(szFrom), bstr_view(szTo), text);
  });
}

// Not implemented; the result is not written.
HRESULT CSigner2::DecryptMessage(BSTR szMessage, LONG bShowResult, BSTR*) {
  std::u16string unused;
  return signer_.DecryptMessage(bstr_view(szMessage), bShowResult, &unused);
}

HRESULT CSigner2::ChangeUser() { return signer_.ChangeUser(); }
HRESULT CSigner2::EditKeys() { return signer_.EditKeys(); }
HRESULT CSigner2::Reset() { return signer_.Reset(); }

HRESULT CSigner2::get_useUtf8(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_INVALIDARG;
  int32_t value = 0;
  const HRESULT hr = signer_.get_useUtf8(&value);
  *pVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return hr;
}

HRESULT CSigner2::put_useUtf8(VARIANT_BOOL newVal) { return signer_.put_useUtf8(static_cast<uint16_t>(newVal)); }

HRESULT CSigner2::get_UseScreenKbd(int* pVal) {
  if (pVal == nullptr) return E_INVALIDARG;
  return number_result(pVal, [&](int32_t* n) { return signer_.get_UseScreenKbd(n); });
}

HRESULT CSigner2::put_UseScreenKbd(int newVal) { return signer_.put_UseScreenKbd(newVal); }

HRESULT CSigner2::SignFile(BSTR szFileName, BSTR* pszResult) {
  return text_operation(pszResult, [&](std::u16string* text) { return signer_.SignFile(bstr_view(szFileName), text); });
}

HRESULT CSigner2::get_Language(BSTR* pszResult) {
  return text_operation(pszResult, [&](std::u16string* text) { return signer_.get_Language(text); });
}

HRESULT CSigner2::put_Language(BSTR newVal) { return signer_.put_Language(bstr_view(newVal)); }

HRESULT CSigner2::get_Error(int* pVal) {
  return number_result(pVal, [&](int32_t* n) { return signer_.get_Error(n); });
}

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

#include "comserver/signer2.h"

#include <new>

#include "comserver/dispatch.h"
#include "comserver/guids.h"
#include "comserver/module.h"
#include "comserver/type_description.h"

namespace {

constexpr DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

}  // namespace

CSigner2::CSigner2(CvelixcomModule& module) : module_(module) { module_.Lock(); }

CSigner2::~CSigner2() {
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
  // Not yet available: there is no ITypeInfo object over the type
  // description; clients bind by name through GetIDsOfNames.
  return E_NOTIMPL;
}

HRESULT CSigner2::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return dispatch_ids_of_names(isigner_description(), rgszNames, cNames, rgDispId);
}

HRESULT CSigner2::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
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

// ISigner: NOT YET WIRED. The settings kept in Config and the process-wide
// session text wait for the configuration layer; the operations wait for the
// signer's operations. Until then they answer E_NOTIMPL and write nothing.

HRESULT CSigner2::get_Session(BSTR*) { return E_NOTIMPL; }
HRESULT CSigner2::put_Session(BSTR) { return E_NOTIMPL; }
HRESULT CSigner2::get_useUtf8(VARIANT_BOOL*) { return E_NOTIMPL; }
HRESULT CSigner2::put_useUtf8(VARIANT_BOOL) { return E_NOTIMPL; }
HRESULT CSigner2::get_UseScreenKbd(int*) { return E_NOTIMPL; }
HRESULT CSigner2::put_UseScreenKbd(int) { return E_NOTIMPL; }
HRESULT CSigner2::get_Language(BSTR*) { return E_NOTIMPL; }
HRESULT CSigner2::put_Language(BSTR) { return E_NOTIMPL; }
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

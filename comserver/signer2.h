// Signer2: the creatable class of velixcom, the signer exposed through the
// dual interface ISigner, with IObjectSafety and the free-threaded marshaler.
#pragma once

#include <atomic>

#include "comserver/com_api.h"
#include "comserver/isigner.h"
#include "signer/signer.h"

class CvelixcomModule;

class CSigner2 final : public ISigner, public IObjectSafety {
 public:
  // Creates an object and queries it for riid; the object is destroyed again
  // when its final construction or the query fails.
  static HRESULT CreateInstance(CvelixcomModule& module, REFIID riid, void** ppv);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override;

  // ISigner
  HRESULT STDMETHODCALLTYPE SignMessage(BSTR szMessage, BSTR* pszResult) override;
  HRESULT STDMETHODCALLTYPE get_Customer(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Customer(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_Operator(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Operator(LONG newVal) override;
  HRESULT STDMETHODCALLTYPE get_Session(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Session(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE GetStatement(BSTR szFrom, BSTR szTo, BSTR* pszRequest) override;
  HRESULT STDMETHODCALLTYPE DecryptMessage(BSTR szMessage, LONG bShowResult, BSTR* pszResult) override;
  HRESULT STDMETHODCALLTYPE ChangeUser() override;
  HRESULT STDMETHODCALLTYPE EditKeys() override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE get_useUtf8(VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE put_useUtf8(VARIANT_BOOL newVal) override;
  HRESULT STDMETHODCALLTYPE get_UseScreenKbd(int* pVal) override;
  HRESULT STDMETHODCALLTYPE put_UseScreenKbd(int newVal) override;
  HRESULT STDMETHODCALLTYPE SignFile(BSTR szFileName, BSTR* pszResult) override;
  HRESULT STDMETHODCALLTYPE get_Language(BSTR* pszResult) override;
  HRESULT STDMETHODCALLTYPE put_Language(BSTR newVal) override;
  HRESULT STDMETHODCALLTYPE get_Error(int* pVal) override;

  // IObjectSafety
  HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                      DWORD* pdwEnabledOptions) override;
  HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                      DWORD dwEnabledOptions) override;

 private:
  explicit CSigner2(CvelixcomModule& module);
  ~CSigner2();
  HRESULT FinalConstruct();
  bool Answers(REFIID riid) const;
  IUnknown* ControllingUnknown() { return static_cast<ISigner*>(this); }

  CvelixcomModule& module_;
  std::atomic<ULONG> references_{0};
  DWORD safety_options_ = 0;
  IUnknown* marshaler_ = nullptr;  // inner unknown of the aggregated free-threaded marshaler
  CSigner signer_{SignerFlavour::kComServer};
};

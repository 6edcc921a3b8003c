// ISigner, the dual automation interface of Signer2. The methods are declared
// in the order of the interface's slots after IDispatch's seven; a property's
// get comes before its put.
#pragma once

#include "comserver/com_api.h"

struct ISigner : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE SignMessage(BSTR szMessage, BSTR* pszResult) = 0;           // 1
  virtual HRESULT STDMETHODCALLTYPE get_Customer(LONG* pVal) = 0;                               // 2
  virtual HRESULT STDMETHODCALLTYPE put_Customer(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Operator(LONG* pVal) = 0;                               // 3
  virtual HRESULT STDMETHODCALLTYPE put_Operator(LONG newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Session(BSTR* pVal) = 0;                                // 4
  virtual HRESULT STDMETHODCALLTYPE put_Session(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatement(BSTR szFrom, BSTR szTo, BSTR* pszRequest) = 0;  // 5
  virtual HRESULT STDMETHODCALLTYPE DecryptMessage(BSTR szMessage, LONG bShowResult, BSTR* pszResult) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE ChangeUser() = 0;                                           // 7
  virtual HRESULT STDMETHODCALLTYPE EditKeys() = 0;                                             // 8
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;                                                // 9
  virtual HRESULT STDMETHODCALLTYPE get_useUtf8(VARIANT_BOOL* pVal) = 0;                        // 10
  virtual HRESULT STDMETHODCALLTYPE put_useUtf8(VARIANT_BOOL newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UseScreenKbd(int* pVal) = 0;                            // 11
  virtual HRESULT STDMETHODCALLTYPE put_UseScreenKbd(int newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE SignFile(BSTR szFileName, BSTR* pszResult) = 0;             // 12
  virtual HRESULT STDMETHODCALLTYPE get_Language(BSTR* pszResult) = 0;                          // 13
  virtual HRESULT STDMETHODCALLTYPE put_Language(BSTR newVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Error(int* pVal) = 0;                                   // 14
};

// The class factory of Signer2. The module keeps one reference to it; while a
// client holds another, the factory keeps the module locked.
#pragma once

#include <atomic>

#include "comserver/com_api.h"

class CvelixcomModule;

class CSigner2Factory final : public IClassFactory {
 public:
  // A new factory with one reference (the module's); null when out of memory.
  static CSigner2Factory* Create(CvelixcomModule& module);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 private:
  explicit CSigner2Factory(CvelixcomModule& module) : module_(module) {}

  CvelixcomModule& module_;
  std::atomic<ULONG> references_{1};
};

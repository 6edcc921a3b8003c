#include "comserver/class_factory.h"

#include <new>

#include "comserver/module.h"
#include "comserver/signer2.h"

CSigner2Factory* CSigner2Factory::Create(CvelixcomModule& module) {
  return new (std::nothrow) CSigner2Factory(module);
}

HRESULT CSigner2Factory::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppvObject = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

// The module's own reference is the first; the first client reference on top
// of it locks the module, and dropping back to the module's alone unlocks it.
ULONG CSigner2Factory::AddRef() {
  const ULONG count = ++references_;
  if (count == 2) module_.Lock();
  return count;
}

ULONG CSigner2Factory::Release() {
  const ULONG count = --references_;
  if (count == 1) module_.Unlock();
  if (count == 0) delete this;
  return count;
}

HRESULT CSigner2Factory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  *ppvObject = nullptr;
  if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
  return CSigner2::CreateInstance(module_, riid, ppvObject);
}

HRESULT CSigner2Factory::LockServer(BOOL fLock) {
  if (fLock)
    module_.Lock();
  else
    module_.Unlock();
  return S_OK;
}

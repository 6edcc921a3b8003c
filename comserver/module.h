// The module object of velixcom: one per process. It counts what keeps the
// library loaded (live objects, server locks, held class factories) and
// caches the class factory of Signer2.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "comserver/com_api.h"

class CvelixcomModule {
 public:
  CvelixcomModule() = default;
  virtual ~CvelixcomModule();
  CvelixcomModule(const CvelixcomModule&) = delete;
  CvelixcomModule& operator=(const CvelixcomModule&) = delete;

  virtual LONG Lock() { return ++lock_count_; }
  virtual LONG Unlock() { return --lock_count_; }
  virtual LONG GetLockCount() { return lock_count_.load(); }

  // DllGetClassObject: the cached class factory of Signer2, created on the
  // first request.
  HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
  HRESULT CanUnloadNow() { return GetLockCount() == 0 ? S_OK : S_FALSE; }

  // The library's own file, for InprocServer32 and the type library path.
  std::string ModuleFileName() const;

 private:
  std::atomic<LONG> lock_count_{0};
  std::mutex critical_section_;
  IClassFactory* class_factory_ = nullptr;  // the module's own reference
};

// The process's module object.
CvelixcomModule& module_object();

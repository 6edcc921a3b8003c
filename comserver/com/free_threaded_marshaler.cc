// The free-threaded marshaler stand-in. Its inner unknown belongs to the
// object that aggregates it: the object's QueryInterface hands IMarshal
// requests to it, and its IMarshal's IUnknown methods go back to the object.
#include <atomic>
#include <new>

#include "comserver/com/interfaces.h"

namespace {

class FreeThreadedMarshaler final : public IMarshal {
 public:
  // Without an outer unknown the marshaler controls itself.
  explicit FreeThreadedMarshaler(IUnknown* outer) : outer_(outer ? outer : &inner_), inner_(this) {}

  // IMarshal's IUnknown: delegated to the controlling unknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override { return outer_->QueryInterface(riid, ppv); }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

  // In one process an interface pointer is passed as it is: the unmarshaling
  // class is the in-process free marshaler, and the "data" is the pointer.
  HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID* pCid) override {
    if (pCid == nullptr) return E_POINTER;
    *pCid = CLSID_InProcFreeMarshaler;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* pSize) override {
    if (pSize == nullptr) return E_POINTER;
    *pSize = sizeof(DWORD) + sizeof(void*) + sizeof(GUID);
    return S_OK;
  }
  // Marshaling streams exist only between apartments, which this platform
  // does not have; nothing can ask for them.
  HRESULT STDMETHODCALLTYPE MarshalInterface(IStream*, REFIID, void*, DWORD, void*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) override { return S_OK; }

  IUnknown* inner() { return &inner_; }

 private:
  // The non-delegating unknown the aggregating object holds.
  class Inner final : public IUnknown {
   public:
    explicit Inner(FreeThreadedMarshaler* owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
      if (ppv == nullptr) return E_POINTER;
      if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
      } else if (IsEqualIID(riid, IID_IMarshal)) {
        *ppv = static_cast<IMarshal*>(owner_);
      } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*ppv)->AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
    ULONG STDMETHODCALLTYPE Release() override {
      const ULONG left = --count_;
      if (left == 0) delete owner_;
      return left;
    }

   private:
    FreeThreadedMarshaler* owner_;
    std::atomic<ULONG> count_{1};
  };

  IUnknown* outer_;
  Inner inner_;
};

}  // namespace

HRESULT CoCreateFreeThreadedMarshaler(IUnknown* punkOuter, IUnknown** ppunkMarshal) {
  if (ppunkMarshal == nullptr) return E_POINTER;
  *ppunkMarshal = nullptr;
  auto* marshaler = new (std::nothrow) FreeThreadedMarshaler(punkOuter);
  if (marshaler == nullptr) return E_OUTOFMEMORY;
  *ppunkMarshal = marshaler->inner();
  return S_OK;
}

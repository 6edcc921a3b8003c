#include "comserver/posix/type_info.h"

#include <atomic>
#include <new>
#include <string>

#include "comserver/posix/dispatch.h"
#include "comserver/module.h"

namespace {

BSTR bstr_of(const char* ascii) {
  if (ascii == nullptr) return nullptr;
  std::u16string wide;
  for (const char* c = ascii; *c != 0; ++c) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*c)));
  return bstr_from(wide);
}

INVOKEKIND invoke_kind(MemberKind kind) {
  switch (kind) {
    case MemberKind::kPropertyGet: return INVOKE_PROPERTYGET;
    case MemberKind::kPropertyPut: return INVOKE_PROPERTYPUT;
    case MemberKind::kMethod: break;
  }
  return INVOKE_FUNC;
}

// One allocation per FUNCDESC handed out: the record and its parameters.
struct FuncDescBlock {
  FUNCDESC desc;
  ELEMDESC params[2];
};

class CTypeInfo final : public ITypeInfo {
 public:
  CTypeInfo(const LibraryDescription& library, const InterfaceDescription& type)
      : library_(library), type_(type) {
    module_object().Lock();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_ITypeInfo)) return E_NOINTERFACE;
    *ppv = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --references_;
    if (count == 0) delete this;
    return count;
  }

  // A dual interface seen as its dispinterface: every member, none inherited.
  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) override {
    if (ppTypeAttr == nullptr) return E_INVALIDARG;
    auto* attr = new (std::nothrow) TYPEATTR{};
    if (attr == nullptr) return E_OUTOFMEMORY;
    attr->guid = *type_.iid;
    attr->lcid = library_.lcid;
    attr->memidConstructor = MEMBERID_NIL;
    attr->memidDestructor = MEMBERID_NIL;
    attr->cbSizeInstance = sizeof(void*);
    attr->typekind = TKIND_DISPATCH;
    attr->cFuncs = static_cast<WORD>(type_.members.size());
    attr->cbSizeVft = static_cast<WORD>(VtableSlots() * sizeof(void*));
    attr->cbAlignment = alignof(void*);
    attr->wTypeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FNONEXTENSIBLE;
    attr->wMajorVerNum = library_.major_version;
    attr->wMinorVerNum = library_.minor_version;
    *ppTypeAttr = attr;
    return S_OK;
  }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) override { delete pTypeAttr; }

  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override {
    if (ppFuncDesc == nullptr) return E_INVALIDARG;
    if (index >= type_.members.size()) return TYPE_E_ELEMENTNOTFOUND;
    const MemberDescription& m = type_.members[index];
    auto* block = new (std::nothrow) FuncDescBlock{};
    if (block == nullptr) return E_OUTOFMEMORY;
    FUNCDESC& desc = block->desc;
    desc.memid = m.id;
    desc.lprgelemdescParam = m.param_count > 0 ? block->params : nullptr;
    desc.funckind = FUNC_DISPATCH;
    desc.invkind = invoke_kind(m.kind);
    desc.callconv = CC_STDCALL;
    desc.cParams = static_cast<SHORT>(m.param_count);
    desc.oVft = static_cast<SHORT>(m.vtable_slot * sizeof(void*));
    desc.elemdescFunc.tdesc.vt = m.result_type == VT_EMPTY ? VARTYPE{VT_VOID} : m.result_type;
    for (UINT i = 0; i < m.param_count; ++i) {
      block->params[i].tdesc.vt = m.params[i].type;
      block->params[i].paramdesc.wParamFlags = PARAMFLAG_FIN;
    }
    *ppFuncDesc = &block->desc;
    return S_OK;
  }
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) override {
    static_assert(offsetof(FuncDescBlock, desc) == 0);
    delete reinterpret_cast<FuncDescBlock*>(pFuncDesc);
  }

  // The member's name, then the names of its named parameters.
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override {
    if (rgBstrNames == nullptr || pcNames == nullptr) return E_INVALIDARG;
    *pcNames = 0;
    const MemberDescription* m = Find(memid);
    if (m == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    if (cMaxNames == 0) return S_OK;
    rgBstrNames[(*pcNames)++] = bstr_of(m->name);
    for (UINT i = 0; i < m->param_count && *pcNames < cMaxNames; ++i)
      if (m->params[i].name != nullptr) rgBstrNames[(*pcNames)++] = bstr_of(m->params[i].name);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override {
    return dispatch_ids_of_names(type_, rgszNames, cNames, pMemId);
  }

  // pvInstance is an object that implements the interface.
  HRESULT STDMETHODCALLTYPE Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    if (pvInstance == nullptr) return E_INVALIDARG;
    return dispatch_invoke(type_, static_cast<IDispatch*>(pvInstance), memid, wFlags, pDispParams, pVarResult,
                           pExcepInfo, puArgErr);
  }

  // MEMBERID_NIL describes the interface itself.
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                             DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override {
    const char* name = type_.name;
    const char* help = type_.help;
    if (memid != MEMBERID_NIL) {
      const MemberDescription* m = Find(memid);
      if (m == nullptr) return TYPE_E_ELEMENTNOTFOUND;
      name = m->name;
      help = m->help;
    }
    if (pBstrName != nullptr) *pBstrName = bstr_of(name);
    if (pBstrDocString != nullptr) *pBstrDocString = bstr_of(help);
    if (pdwHelpContext != nullptr) *pdwHelpContext = 0;
    if (pBstrHelpFile != nullptr) *pBstrHelpFile = nullptr;
    return S_OK;
  }

  // Nothing else is described: no variables, no inherited or referenced
  // types, no module entries, no containing library object.
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC**) override { return TYPE_E_ELEMENTNOTFOUND; }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE*) override { return TYPE_E_ELEMENTNOTFOUND; }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT*) override { return TYPE_E_ELEMENTNOTFOUND; }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo**) override { return TYPE_E_ELEMENTNOTFOUND; }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* pBstrMops) override {
    if (pBstrMops != nullptr) *pBstrMops = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib**, UINT*) override { return E_NOTIMPL; }
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

 private:
  ~CTypeInfo() { module_object().Unlock(); }

  const MemberDescription* Find(MEMBERID memid) const {
    for (const MemberDescription& m : type_.members)
      if (m.id == memid) return &m;
    return nullptr;
  }

  size_t VtableSlots() const {
    int last = 6;  // IDispatch's last slot
    for (const MemberDescription& m : type_.members) last = m.vtable_slot > last ? m.vtable_slot : last;
    return static_cast<size_t>(last) + 1;
  }

  const LibraryDescription& library_;
  const InterfaceDescription& type_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT create_type_info(const LibraryDescription& library, const InterfaceDescription& type, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = new (std::nothrow) CTypeInfo(library, type);
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

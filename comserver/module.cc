#include "comserver/module.h"

#include "comserver/class_factory.h"
#include "comserver/guids.h"
#include "platform/module_path.h"

CvelixcomModule::~CvelixcomModule() {
  if (class_factory_ != nullptr) class_factory_->Release();
}

HRESULT CvelixcomModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_Signer2)) return CLASS_E_CLASSNOTAVAILABLE;
  {
    std::lock_guard<std::mutex> guard(critical_section_);
    if (class_factory_ == nullptr) {
      class_factory_ = CSigner2Factory::Create(*this);
      if (class_factory_ == nullptr) return E_OUTOFMEMORY;
    }
  }
  return class_factory_->QueryInterface(riid, ppv);
}

std::string CvelixcomModule::ModuleFileName() const {
  return platform::module_file_name(reinterpret_cast<const void*>(&module_object));
}

CvelixcomModule& module_object() {
  static CvelixcomModule module;
  return module;
}

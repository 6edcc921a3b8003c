#include "platform/win32/wmi_processors.h"

#include "platform/win32/windows_api.h"

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <string>

namespace platform::win32 {
namespace {

// Releases a COM object when it goes out of scope.
template <typename T>
struct Releaser {
  T* object = nullptr;
  ~Releaser() {
    if (object != nullptr) object->Release();
  }
};

IWbemServices* connect(IWbemLocator* locator, const wchar_t* space) {
  BSTR name = SysAllocString(space);
  IWbemServices* services = nullptr;
  const HRESULT hr = locator->ConnectServer(name, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
  SysFreeString(name);
  if (FAILED(hr)) return nullptr;
  if (FAILED(CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    services->Release();
    return nullptr;
  }
  return services;
}

IEnumWbemClassObject* query(IWbemServices* services, const wchar_t* text) {
  BSTR language = SysAllocString(L"WQL");
  BSTR wql = SysAllocString(text);
  IEnumWbemClassObject* results = nullptr;
  const HRESULT hr = services->ExecQuery(language, wql, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                         nullptr, &results);
  SysFreeString(language);
  SysFreeString(wql);
  return SUCCEEDED(hr) ? results : nullptr;
}

// A property as text in the ANSI code page; empty when it is no text.
std::string text_property(IWbemClassObject* object, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::string text;
  if (SUCCEEDED(object->Get(name, 0, &value, nullptr, nullptr)) &&
      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR)) && value.bstrVal != nullptr) {
    const int length = WideCharToMultiByte(CP_ACP, 0, value.bstrVal, -1, nullptr, 0, nullptr, nullptr);
    if (length > 1) {
      text.resize(static_cast<size_t>(length));
      WideCharToMultiByte(CP_ACP, 0, value.bstrVal, -1, text.data(), length, nullptr, nullptr);
      text.resize(static_cast<size_t>(length - 1));
    }
  }
  VariantClear(&value);
  return text;
}

std::vector<ProcessorFacts> processors_of(IWbemServices* cimv2) {
  std::vector<ProcessorFacts> processors;
  Releaser<IEnumWbemClassObject> results{query(cimv2, L"SELECT * FROM Win32_Processor")};
  if (results.object == nullptr) return processors;
  for (;;) {
    IWbemClassObject* object = nullptr;
    ULONG count = 0;
    if (results.object->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &count) != WBEM_S_NO_ERROR ||
        count == 0)
      break;
    processors.push_back({text_property(object, L"Description"), text_property(object, L"ProcessorId")});
    object->Release();
  }
  return processors;
}

// Whether the drive SMART data class answers (its results are stepped
// through and otherwise unused).
bool smart_data_answers(IWbemServices* wmi) {
  Releaser<IEnumWbemClassObject> results{query(wmi, L"SELECT * FROM MSStorageDriver_ATAPISmartData")};
  if (results.object == nullptr) return false;
  for (;;) {
    IWbemClassObject* object = nullptr;
    ULONG count = 0;
    if (results.object->Next(static_cast<LONG>(WBEM_INFINITE), 1, &object, &count) != WBEM_S_NO_ERROR ||
        count == 0)
      break;
    object->Release();
  }
  return true;
}

}  // namespace

std::vector<ProcessorFacts> wmi_processors() {
  const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<ProcessorFacts> processors;
  {
    Releaser<IWbemLocator> locator;
    if (SUCCEEDED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                   reinterpret_cast<void**>(&locator.object)))) {
      Releaser<IWbemServices> cimv2{connect(locator.object, L"ROOT\\CIMV2")};
      Releaser<IWbemServices> wmi{connect(locator.object, L"root\\WMI")};
      if (cimv2.object != nullptr && wmi.object != nullptr) {
        processors = processors_of(cimv2.object);
        if (!smart_data_answers(wmi.object)) processors.clear();
      }
    }
  }
  if (SUCCEEDED(initialized)) CoUninitialize();
  return processors;
}

}  // namespace platform::win32

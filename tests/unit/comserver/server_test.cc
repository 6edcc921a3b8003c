#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comserver/com/com.h"
#include "comserver/guids.h"
#include "comserver/isigner.h"
#include "server_library.h"

namespace {

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.handle, nullptr) << VELIXCOM_LIBRARY;
    ASSERT_NE(lib.get_class_object, nullptr);
    ASSERT_NE(lib.can_unload_now, nullptr);
  }

  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(lib.get_class_object(CLSID_Signer2, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    return factory;
  }

  ISigner* NewSigner() {
    IClassFactory* factory = Factory();
    if (factory == nullptr) return nullptr;
    ISigner* signer = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ISigner, reinterpret_cast<void**>(&signer)), S_OK);
    factory->Release();
    return signer;
  }

  TempConfigHome home;
  ServerLibrary lib;
};

TEST_F(Server, UnloadIsRefusedWhileObjectsOrServerLocksOrFactoriesLive) {
  EXPECT_EQ(lib.can_unload_now(), S_OK);

  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(lib.can_unload_now(), S_FALSE);  // a client holds the factory

  ISigner* first = nullptr;
  ISigner* second = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISigner, reinterpret_cast<void**>(&first)), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(lib.can_unload_now(), S_FALSE);

  first->Release();
  EXPECT_EQ(lib.can_unload_now(), S_FALSE);
  second->Release();
  EXPECT_EQ(lib.can_unload_now(), S_FALSE);  // the server lock is still there

  factory = Factory();  // the cached factory comes back
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(lib.can_unload_now(), S_FALSE);
  factory->Release();
  EXPECT_EQ(lib.can_unload_now(), S_OK);
}

TEST_F(Server, ClassObjectErrors) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(lib.get_class_object(IID_IDispatch, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(lib.get_class_object(CLSID_Signer2, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(lib.get_class_object(CLSID_Signer2, IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(lib.can_unload_now(), S_OK);

  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  // Aggregation is refused; the out pointer is cleared first.
  ISigner* outer = NewSigner();
  ASSERT_NE(outer, nullptr);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ISigner, nullptr), E_POINTER);
  // An interface the object does not answer: nothing is left alive.
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  outer->Release();
  factory->Release();
  EXPECT_EQ(lib.can_unload_now(), S_OK);
}

TEST_F(Server, ObjectAnswersItsInterfacesWithOneIdentity) {
  ISigner* signer = NewSigner();
  ASSERT_NE(signer, nullptr);
  IUnknown* unknown = nullptr;
  IDispatch* dispatch = nullptr;
  IObjectSafety* safety = nullptr;
  IMarshal* marshal = nullptr;
  ASSERT_EQ(signer->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  ASSERT_EQ(signer->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  ASSERT_EQ(signer->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
  ASSERT_EQ(signer->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)), S_OK);
  IUnknown* from_safety = nullptr;
  IUnknown* from_marshal = nullptr;
  ASSERT_EQ(safety->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&from_safety)), S_OK);
  ASSERT_EQ(marshal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&from_marshal)), S_OK);
  EXPECT_EQ(from_safety, unknown);
  EXPECT_EQ(from_marshal, unknown);  // the marshaler belongs to the object
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(signer->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  for (IUnknown* p : {static_cast<IUnknown*>(dispatch), static_cast<IUnknown*>(safety),
                      static_cast<IUnknown*>(marshal), from_safety, from_marshal, unknown})
    p->Release();
  EXPECT_EQ(lib.can_unload_now(), S_FALSE);
  EXPECT_EQ(signer->Release(), 0u);
  EXPECT_EQ(lib.can_unload_now(), S_OK);
}

TEST_F(Server, ObjectSafetyOptions) {
  ISigner* signer = NewSigner();
  ASSERT_NE(signer, nullptr);
  IObjectSafety* safety = nullptr;
  ASSERT_EQ(signer->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
  DWORD supported = 9, enabled = 9;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 0u);

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_ISigner, 4, 4), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_ISigner, 3, 1), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_ISigner, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 3u);
  EXPECT_EQ(enabled, 1u);
  // Only the bits in the mask change.
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IUnknown, 2, 3), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IMarshal, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 3u);

  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 3, 3), E_NOINTERFACE);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_ISigner, nullptr, &enabled), E_POINTER);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_ISigner, &supported, nullptr), E_POINTER);
  safety->Release();
  signer->Release();
}

TEST_F(Server, CustomerOperatorAndErrorBelongToEachObject) {
  ISigner* a = NewSigner();
  ISigner* b = NewSigner();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->put_Customer(5), S_OK);
  EXPECT_EQ(b->put_Operator(-3), S_OK);
  LONG value = 99;
  a->get_Customer(&value);
  EXPECT_EQ(value, 5);
  b->get_Customer(&value);
  EXPECT_EQ(value, 0);
  a->get_Operator(&value);
  EXPECT_EQ(value, 0);
  b->get_Operator(&value);
  EXPECT_EQ(value, -3);
  int error = 99;
  a->get_Error(&error);
  EXPECT_EQ(error, 0);
  a->Release();
  b->Release();
}

TEST_F(Server, DecryptMessageIsNotImplementedAndLeavesTheResult) {
  ISigner* signer = NewSigner();
  ASSERT_NE(signer, nullptr);
  BSTR message = SysAllocString(u"text");
  BSTR result = reinterpret_cast<BSTR>(0x1234);
  EXPECT_EQ(signer->DecryptMessage(message, 1, &result), E_NOTIMPL);
  EXPECT_EQ(result, reinterpret_cast<BSTR>(0x1234));
  SysFreeString(message);
  signer->Release();
}

}  // namespace

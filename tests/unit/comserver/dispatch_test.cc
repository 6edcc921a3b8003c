#include <gtest/gtest.h>

#include <string>

#include "comserver/com/com.h"
#include "comserver/guids.h"
#include "comserver/isigner.h"
#include "server_library.h"

namespace {

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.get_class_object, nullptr);
    ASSERT_EQ(lib.register_server(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(lib.get_class_object(CLSID_Signer2, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)), S_OK);
    factory->Release();
  }
  void TearDown() override {
    if (object) object->Release();
  }

  DISPID Id(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << "name lookup";
    return id;
  }

  HRESULT Put(DISPID id, VARIANT value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    return object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
  }

  HRESULT Get(DISPID id, VARIANT* result, WORD flags = DISPATCH_PROPERTYGET) {
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    VariantInit(result);
    return object->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
  }

  TempConfigHome home;
  ServerLibrary lib;
  IDispatch* object = nullptr;
};

VARIANT I4(LONG v) {
  VARIANT x;
  VariantInit(&x);
  x.vt = VT_I4;
  x.lVal = v;
  return x;
}

TEST_F(Dispatch, NamesMapToTheDispatchIdsOfTheInterface) {
  struct {
    const char16_t* name;
    DISPID id;
  } members[] = {
      {u"SignMessage", 1}, {u"Customer", 2},  {u"Operator", 3},  {u"Session", 4},      {u"GetStatement", 5},
      {u"DecryptMessage", 6}, {u"ChangeUser", 7}, {u"EditKeys", 8}, {u"Reset", 9},     {u"useUtf8", 10},
      {u"UseScreenKbd", 11}, {u"SignFile", 12}, {u"Language", 13}, {u"Error", 14},
      {u"signmessage", 1}, {u"USEUTF8", 10},  // names ignore letter case
  };
  for (const auto& m : members) EXPECT_EQ(Id(m.name), m.id);

  // A member with its parameter names.
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"GetStatement"), const_cast<LPOLESTR>(u"szTo"),
                      const_cast<LPOLESTR>(u"SZFROM"), const_cast<LPOLESTR>(u"szWhen")};
  DISPID ids[4] = {};
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 5);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  EXPECT_EQ(ids[3], DISPID_UNKNOWN);

  LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"BrowseForFolder")};
  DISPID id = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(object->GetIDsOfNames(IID_ISigner, unknown, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);

  UINT count = 0;
  EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
}

TEST_F(Dispatch, PropertiesAreReadAndWrittenByDispatchId) {
  ASSERT_EQ(Put(2, I4(77)), S_OK);
  VARIANT result;
  ASSERT_EQ(Get(2, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 77);
  // Scripts read properties with METHOD | PROPERTYGET.
  ASSERT_EQ(Get(2, &result, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(result.lVal, 77);

  // Arguments are coerced as OLE automation does: a text and a double.
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"-8");
  EXPECT_EQ(Put(3, text), S_OK);
  VariantClear(&text);
  ASSERT_EQ(Get(3, &result), S_OK);
  EXPECT_EQ(result.lVal, -8);
  VARIANT real;
  VariantInit(&real);
  real.vt = VT_R8;
  real.dblVal = 6.5;
  EXPECT_EQ(Put(3, real), S_OK);
  ASSERT_EQ(Get(3, &result), S_OK);
  EXPECT_EQ(result.lVal, 6);

  ASSERT_EQ(Get(14, &result), S_OK);
  EXPECT_EQ(result.vt, VT_INT);
  EXPECT_EQ(result.intVal, 0);
}

TEST_F(Dispatch, CallShapesThatDoNotFitAreRefused) {
  VARIANT result;
  // Error has no put, and no member has id 15 or 0.
  EXPECT_EQ(Put(14, I4(1)), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Get(15, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Get(0, &result), DISP_E_MEMBERNOTFOUND);
  // A property put without the named DISPID_PROPERTYPUT argument.
  VARIANT value = I4(1);
  DISPPARAMS unnamed = {&value, nullptr, 1, 0};
  EXPECT_EQ(object->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTOPTIONAL);
  // Wrong argument counts, named arguments for a method, a foreign interface id.
  DISPPARAMS one = {&value, nullptr, 1, 0};
  EXPECT_EQ(object->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &one, &result, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(object->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &one, &result, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
  DISPID named = 0;
  DISPPARAMS with_name = {&value, &named, 1, 1};
  EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &with_name, &result, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(object->Invoke(9, IID_ISigner, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);

  // A text that is no number, in the second position of DecryptMessage's
  // (szMessage, bShowResult): rgvarg holds the arguments last one first.
  VARIANT args[2];
  VariantInit(&args[0]);
  args[0].vt = VT_BSTR;
  args[0].bstrVal = SysAllocString(u"yes please");
  args[1] = I4(0);
  DISPPARAMS two = {args, nullptr, 2, 0};
  UINT arg_error = 99;
  EXPECT_EQ(object->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &two, &result, nullptr, &arg_error), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_error, 0u);
  VariantClear(&args[0]);
}

TEST_F(Dispatch, FailingMembersRaiseAnExceptionWithTheirResult) {
  VARIANT args[2];
  args[0] = I4(1);
  VariantInit(&args[1]);
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(u"message");
  DISPPARAMS params = {args, nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception;
  EXPECT_EQ(object->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, nullptr), DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, E_NOTIMPL);
  EXPECT_EQ(result.vt, VT_EMPTY);
  EXPECT_EQ(object->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(result.vt, VT_EMPTY);
  VariantClear(&args[1]);
}

}  // namespace

namespace {

// The type information a client reads at run time, and a call through it.
TEST_F(Dispatch, TypeInfoDescribesTheInterfaceAndCallsThroughIt) {
  ITypeInfo* info = nullptr;
  EXPECT_EQ(object->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  ASSERT_EQ(object->GetTypeInfo(0, 0, &info), S_OK);
  ASSERT_NE(info, nullptr);

  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualIID(attr->guid, IID_ISigner));
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cFuncs, 20);  // 14 dispatch ids, six of them with a get and a put
  EXPECT_EQ(attr->cbSizeVft, 27 * sizeof(void*));
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  info->ReleaseTypeAttr(attr);

  // GetStatement: the eighth entry, after SignMessage and three get/put pairs.
  FUNCDESC* func = nullptr;
  ASSERT_EQ(info->GetFuncDesc(7, &func), S_OK);
  EXPECT_EQ(func->memid, 5);
  EXPECT_EQ(func->invkind, INVOKE_FUNC);
  EXPECT_EQ(func->cParams, 2);
  EXPECT_EQ(func->lprgelemdescParam[1].tdesc.vt, VT_BSTR);
  EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_BSTR);
  EXPECT_EQ(func->oVft, 14 * static_cast<SHORT>(sizeof(void*)));
  info->ReleaseFuncDesc(func);
  ASSERT_EQ(info->GetFuncDesc(19, &func), S_OK);
  EXPECT_EQ(func->memid, 14);
  EXPECT_EQ(func->invkind, INVOKE_PROPERTYGET);
  info->ReleaseFuncDesc(func);
  EXPECT_EQ(info->GetFuncDesc(20, &func), TYPE_E_ELEMENTNOTFOUND);

  BSTR names[3] = {};
  UINT count = 0;
  ASSERT_EQ(info->GetNames(5, names, 3, &count), S_OK);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(bstr_view(names[0]), u"GetStatement");
  EXPECT_EQ(bstr_view(names[2]), u"szTo");
  for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);

  BSTR name = nullptr;
  BSTR help = nullptr;
  ASSERT_EQ(info->GetDocumentation(13, &name, &help, nullptr, nullptr), S_OK);
  EXPECT_EQ(bstr_view(help), u"get current GUI language");
  SysFreeString(name);
  SysFreeString(help);
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr), S_OK);
  EXPECT_EQ(bstr_view(name), u"ISigner");
  EXPECT_EQ(bstr_view(help), u"ISigner Interface");
  SysFreeString(name);
  SysFreeString(help);

  VARIANT value = I4(41);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put = {&value, &named, 1, 1};
  ASSERT_EQ(info->Invoke(object, 2, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
  VARIANT read;
  ASSERT_EQ(Get(2, &read), S_OK);
  EXPECT_EQ(read.lVal, 41);

  // The type information keeps the library loaded after the object is gone.
  object->Release();
  object = nullptr;
  EXPECT_EQ(lib.can_unload_now(), S_FALSE);
  info->Release();
  EXPECT_EQ(lib.can_unload_now(), S_OK);
}

}  // namespace

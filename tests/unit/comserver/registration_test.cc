#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "comserver/com/com.h"
#include "comserver/guids.h"
#include "platform/registry.h"
#include "server_library.h"
#include "tools/com_client/com_client.h"

namespace {

using platform::RegHive;
using platform::RegKey;

const std::string kClsid = "{53943CD7-F8C5-4887-ADE2-946E5B7A8F97}";
const std::string kLibid = "{B2570F73-9295-429D-B10A-8AF640E81946}";
const std::string kIid = "{4CAA87BD-1295-462A-98C6-54F368E0ACF7}";
const std::string kAppId = "{D58EB931-759A-4B2F-89E9-72E8210BAB16}";

bool key_exists(const std::string& path) {
  RegKey key;
  return key.Open(RegHive::kClassesRoot, path) == platform::kRegOk;
}

// A REG_SZ value without its NUL; "<missing>" or "<type N>" otherwise.
std::string text_value(const std::string& path, const char* name) {
  RegKey key;
  if (key.Open(RegHive::kClassesRoot, path) != platform::kRegOk) return "<missing>";
  char data[1024];
  uint32_t size = sizeof data;
  uint32_t type = 0;
  if (key.QueryValue(name, &type, data, &size) != platform::kRegOk) return "<missing>";
  if (type != platform::kRegSz) return "<type " + std::to_string(type) + ">";
  if (size == 0 || data[size - 1] != '\0') return "<no NUL>";
  return std::string(data, size - 1);
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(lib.register_server, nullptr); }
  TempConfigHome home;
  ServerLibrary lib;
};

TEST_F(Registration, WritesTheClassApplicationAndTypeLibraryEntries) {
  ASSERT_EQ(lib.register_server(), S_OK);
  const std::string module = std::filesystem::canonical(VELIXCOM_LIBRARY).string();
  const std::string clsid_key = "CLSID\\" + kClsid;
  const std::string typelib_key = "TypeLib\\" + kLibid + "\\1.0";
  const std::string interface_key = "Interface\\" + kIid;
  const struct {
    std::string key;
    const char* name;
    std::string data;
  } expected[] = {
      {"AppID\\" + kAppId, "", "velixcom"},
      {"AppID\\velixcom.DLL", "AppID", kAppId},
      {"velixcom2.Signer2.2", "", "Signer Class"},
      {"velixcom2.Signer2.2\\CLSID", "", kClsid},
      {"velixcom2.Signer2.1", "", "Signer Class"},
      {"velixcom2.Signer2.1\\CLSID", "", kClsid},
      {"velixcom2.Signer2.1\\CurVer", "", "velixcom2.Signer2.2"},
      {"velixcom2.Signer2", "", "Signer Class"},
      {"velixcom2.Signer2\\CLSID", "", kClsid},
      {"velixcom2.Signer2\\CurVer", "", "velixcom2.Signer2.2"},
      {clsid_key, "", "Signer Class"},
      {clsid_key, "AppID", kAppId},
      {clsid_key + "\\ProgID", "", "velixcom2.Signer2.2"},
      {clsid_key + "\\VersionIndependentProgID", "", "velixcom2.Signer2"},
      {clsid_key + "\\InprocServer32", "", module},
      {clsid_key + "\\InprocServer32", "ThreadingModel", "Both"},
      {clsid_key + "\\TypeLib", "", kLibid},
      {typelib_key, "", "velixcom 1.0 Type Library"},
      {typelib_key + "\\0\\win64", "", module},
      {typelib_key + "\\HELPDIR", "", std::filesystem::path(module).parent_path().string()},
      {interface_key, "", "ISigner"},
      {interface_key + "\\ProxyStubClsid32", "", "{00020424-0000-0000-C000-000000000046}"},
      {interface_key + "\\TypeLib", "", kLibid},
      {interface_key + "\\TypeLib", "Version", "1.0"},
  };
  for (const auto& e : expected) EXPECT_EQ(text_value(e.key, e.name), e.data) << e.key << " : " << e.name;
  EXPECT_TRUE(key_exists(clsid_key + "\\Programmable"));
  // Nothing else under the class key than the script names.
  RegKey clsid;
  ASSERT_EQ(clsid.Open(RegHive::kClassesRoot, clsid_key), platform::kRegOk);
  std::string name;
  int subkeys = 0;
  while (clsid.EnumKey(subkeys, &name) == platform::kRegOk) ++subkeys;
  EXPECT_EQ(subkeys, 5);
}

TEST_F(Registration, ProgIdsResolveToTheCurrentVersion) {
  ASSERT_EQ(lib.register_server(), S_OK);
  for (const char* prog_id : {"velixcom2.Signer2", "velixcom2.Signer2.1", "velixcom2.Signer2.2"}) {
    CLSID clsid{};
    EXPECT_EQ(com_client::clsid_from_prog_id(prog_id, &clsid), S_OK) << prog_id;
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Signer2)) << prog_id;
  }
  // The older name's CurVer is what is followed: point it elsewhere and see.
  RegKey old_name;
  ASSERT_EQ(old_name.Open(RegHive::kClassesRoot, "velixcom2.Signer2.1\\CLSID"), platform::kRegOk);
  const char other[] = "{00000000-0000-0000-0000-000000000001}";
  ASSERT_EQ(old_name.SetValue("", platform::kRegSz, other, sizeof other), platform::kRegOk);
  CLSID clsid{};
  EXPECT_EQ(com_client::clsid_from_prog_id("velixcom2.Signer2.1", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Signer2));
  EXPECT_EQ(com_client::clsid_from_prog_id("velixcom2.NoSuchClass", &clsid), REGDB_E_CLASSNOTREG);
}

TEST_F(Registration, ReplacedKeysLoseStaleEntriesAndUnregistrationKeepsSharedKeys) {
  // Left-overs of an older installation and another server's class.
  RegKey stale;
  ASSERT_EQ(stale.Create(RegHive::kClassesRoot, "CLSID\\" + kClsid + "\\LocalServer32"), platform::kRegOk);
  RegKey neighbour;
  ASSERT_EQ(neighbour.Create(RegHive::kClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000002}"), platform::kRegOk);
  ASSERT_EQ(lib.register_server(), S_OK);
  EXPECT_FALSE(key_exists("CLSID\\" + kClsid + "\\LocalServer32"));
  ASSERT_EQ(lib.register_server(), S_OK);  // twice is as once

  ASSERT_EQ(lib.unregister_server(), S_OK);
  for (const std::string& gone :
       {"CLSID\\" + kClsid, "AppID\\" + kAppId, std::string("AppID\\velixcom.DLL"), std::string("velixcom2.Signer2"),
        std::string("velixcom2.Signer2.1"), std::string("velixcom2.Signer2.2"), "TypeLib\\" + kLibid,
        "Interface\\" + kIid})
    EXPECT_FALSE(key_exists(gone)) << gone;
  EXPECT_TRUE(key_exists("AppID"));
  EXPECT_TRUE(key_exists("CLSID"));
  EXPECT_TRUE(key_exists("CLSID\\{00000000-0000-0000-0000-000000000002}"));
}

TEST_F(Registration, APathWithASingleQuoteIsRegisteredAsItIs) {
  const std::filesystem::path dir = std::filesystem::path(home.path()) / "it's here";
  std::filesystem::create_directories(dir);
  const std::filesystem::path copy = dir / "libvelixcom.so";
  std::filesystem::copy_file(VELIXCOM_LIBRARY, copy);
  ServerLibrary quoted(copy.c_str());
  ASSERT_NE(quoted.register_server, nullptr);
  ASSERT_EQ(quoted.register_server(), S_OK);
  EXPECT_EQ(text_value("CLSID\\" + kClsid + "\\InprocServer32", ""), copy.string());
  std::string path;
  ASSERT_EQ(com_client::in_process_server(CLSID_Signer2, &path), S_OK);
  EXPECT_EQ(path, copy.string());
}

TEST_F(Registration, DispatchNeedsTheRegisteredTypeLibrary) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(lib.get_class_object(CLSID_Signer2, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IDispatch* object = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)), S_OK);
  factory->Release();
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"Customer")};
  DISPID id = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(lib.register_server(), S_OK);
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 2);
  object->Release();
}

}  // namespace

#include "soft_token.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

namespace {

std::filesystem::path make_temp_dir() {
  std::random_device random;
  for (;;) {
    auto dir = std::filesystem::temp_directory_path() /
               ("velix-token-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(dir)) return dir;
  }
}

void check(CK_RV rv, const char* what) {
  if (rv != CKR_OK) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(rv));
}

// Initialises SoftHSM2 for the duration of a scope unless someone else has.
class Initialized {
 public:
  explicit Initialized(CK_FUNCTION_LIST_PTR f) : f_(f) {
    const CK_RV rv = f_->C_Initialize(nullptr);
    owned_ = rv == CKR_OK;
    if (!owned_ && rv != CKR_CRYPTOKI_ALREADY_INITIALIZED) check(rv, "C_Initialize");
  }
  ~Initialized() {
    if (owned_) f_->C_Finalize(nullptr);
  }

 private:
  CK_FUNCTION_LIST_PTR f_;
  bool owned_;
};

}  // namespace

std::string text_of(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

SoftToken::SoftToken(const std::string& label, const std::string& user_pin)
    : dir_(make_temp_dir()), user_pin_(user_pin) {
  std::filesystem::create_directory(dir_ / "tokens");
  const auto conf = dir_ / "softhsm2.conf";
  std::ofstream(conf) << "directories.tokendir = " << (dir_ / "tokens").string() << "\n"
                      << "objectstore.backend = file\nlog.level = ERROR\nslots.removable = false\n";
  setenv("SOFTHSM2_CONF", conf.c_str(), 1);

  CK_FUNCTION_LIST_PTR f = functions();
  Initialized initialized(f);
  CK_SLOT_ID slots[4];
  CK_ULONG count = 4;
  check(f->C_GetSlotList(CK_TRUE, slots, &count), "C_GetSlotList");
  init_slot(slots[0], label, user_pin_);
}

void SoftToken::init_slot(CK_SLOT_ID slot, const std::string& label, const std::string& user_pin) {
  CK_FUNCTION_LIST_PTR f = functions();
  CK_UTF8CHAR padded[32];
  std::memset(padded, ' ', sizeof padded);
  std::memcpy(padded, label.data(), std::min(label.size(), sizeof padded));
  check(f->C_InitToken(slot, (CK_UTF8CHAR_PTR)kSoPin, std::strlen(kSoPin), padded), "C_InitToken");
  CK_SESSION_HANDLE session;
  check(f->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
        "C_OpenSession");
  check(f->C_Login(session, CKU_SO, (CK_UTF8CHAR_PTR)kSoPin, std::strlen(kSoPin)), "C_Login SO");
  check(f->C_InitPIN(session, (CK_UTF8CHAR_PTR)user_pin.data(), user_pin.size()), "C_InitPIN");
  f->C_Logout(session);
  f->C_CloseSession(session);
}

void SoftToken::init_free_slot(const std::string& label, const std::string& user_pin) {
  CK_FUNCTION_LIST_PTR f = functions();
  Initialized initialized(f);
  CK_SLOT_ID slots[8];
  CK_ULONG count = 8;
  check(f->C_GetSlotList(CK_TRUE, slots, &count), "C_GetSlotList");
  for (CK_ULONG i = 0; i < count; ++i) {
    CK_TOKEN_INFO info;
    if (f->C_GetTokenInfo(slots[i], &info) == CKR_OK && !(info.flags & CKF_TOKEN_INITIALIZED)) {
      init_slot(slots[i], label, user_pin);
      return;
    }
  }
  throw std::runtime_error("no free slot");
}

SoftToken::~SoftToken() {
  platform::free_library(module_);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

CK_FUNCTION_LIST_PTR SoftToken::functions() {
  if (functions_ != nullptr) return functions_;
  module_ = platform::load_library(kSoftHsmModule);
  if (module_ == nullptr) throw std::runtime_error("SoftHSM2 is not installed");
  auto get_list = reinterpret_cast<CK_C_GetFunctionList>(
      platform::library_symbol(module_, "C_GetFunctionList"));
  check(get_list(&functions_), "C_GetFunctionList");
  return functions_;
}

// The initialised token: the slot whose token carries CKF_TOKEN_INITIALIZED.
CK_SLOT_ID SoftToken::slot() {
  CK_FUNCTION_LIST_PTR f = functions();
  CK_SLOT_ID slots[8];
  CK_ULONG count = 8;
  check(f->C_GetSlotList(CK_TRUE, slots, &count), "C_GetSlotList");
  for (CK_ULONG i = 0; i < count; ++i) {
    CK_TOKEN_INFO info;
    if (f->C_GetTokenInfo(slots[i], &info) == CKR_OK && (info.flags & CKF_TOKEN_INITIALIZED))
      return slots[i];
  }
  throw std::runtime_error("no initialised token");
}

void SoftToken::with_session(
    const std::function<void(CK_FUNCTION_LIST_PTR, CK_SESSION_HANDLE)>& fn) {
  CK_FUNCTION_LIST_PTR f = functions();
  Initialized initialized(f);
  CK_SESSION_HANDLE session;
  check(f->C_OpenSession(slot(), CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
        "C_OpenSession");
  const CK_RV login = f->C_Login(session, CKU_USER, (CK_UTF8CHAR_PTR)user_pin_.data(),
                                 user_pin_.size());
  try {
    check(login, "C_Login");
    fn(f, session);
  } catch (...) {
    f->C_Logout(session);
    f->C_CloseSession(session);
    throw;
  }
  f->C_Logout(session);
  f->C_CloseSession(session);
}

namespace {

std::vector<CK_OBJECT_HANDLE> find_all(CK_FUNCTION_LIST_PTR f, CK_SESSION_HANDLE session,
                                       CK_ATTRIBUTE* templ, CK_ULONG count) {
  std::vector<CK_OBJECT_HANDLE> objects;
  check(f->C_FindObjectsInit(session, templ, count), "C_FindObjectsInit");
  CK_OBJECT_HANDLE object;
  CK_ULONG found = 0;
  while (f->C_FindObjects(session, &object, 1, &found) == CKR_OK && found == 1)
    objects.push_back(object);
  f->C_FindObjectsFinal(session);
  return objects;
}

}  // namespace

int SoftToken::count_objects(const std::string& label) {
  int count = 0;
  with_session([&](CK_FUNCTION_LIST_PTR f, CK_SESSION_HANDLE session) {
    CK_ATTRIBUTE templ[] = {{CKA_LABEL, (void*)label.data(), label.size()}};
    count = static_cast<int>(find_all(f, session, templ, 1).size());
  });
  return count;
}

int SoftToken::count_objects_of_class(CK_OBJECT_CLASS object_class) {
  int count = 0;
  with_session([&](CK_FUNCTION_LIST_PTR f, CK_SESSION_HANDLE session) {
    CK_ATTRIBUTE templ[] = {{CKA_CLASS, &object_class, sizeof object_class}};
    count = static_cast<int>(find_all(f, session, templ, 1).size());
  });
  return count;
}

void SoftToken::generate_pair(const std::string& label, const std::string& subject, int bits) {
  with_session([&](CK_FUNCTION_LIST_PTR f, CK_SESSION_HANDLE session) {
    CK_BBOOL yes = CK_TRUE;
    CK_ULONG modulus_bits = static_cast<CK_ULONG>(bits);
    CK_BYTE exponent[] = {1, 0, 1};
    CK_ATTRIBUTE public_templ[] = {
        {CKA_LABEL, (void*)label.data(), label.size()},
        {CKA_SUBJECT, (void*)subject.data(), subject.size()},
        {CKA_ID, (void*)subject.data(), subject.size()},
        {CKA_TOKEN, &yes, 1},
        {CKA_VERIFY, &yes, 1},
        {CKA_MODULUS_BITS, &modulus_bits, sizeof modulus_bits},
        {CKA_PUBLIC_EXPONENT, exponent, 3},
    };
    CK_ATTRIBUTE private_templ[] = {
        {CKA_LABEL, (void*)label.data(), label.size()},
        {CKA_SUBJECT, (void*)subject.data(), subject.size()},
        {CKA_ID, (void*)subject.data(), subject.size()},
        {CKA_TOKEN, &yes, 1},
        {CKA_PRIVATE, &yes, 1},
        {CKA_SIGN, &yes, 1},
    };
    CK_MECHANISM mechanism{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
    CK_OBJECT_HANDLE pub, priv;
    check(f->C_GenerateKeyPair(session, &mechanism, public_templ, 7, private_templ, 6, &pub, &priv),
          "C_GenerateKeyPair");
  });
}

void SoftToken::create_data(const std::string& label, const std::string& value) {
  with_session([&](CK_FUNCTION_LIST_PTR f, CK_SESSION_HANDLE session) {
    CK_OBJECT_CLASS data_class = CKO_DATA;
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE templ[] = {
        {CKA_CLASS, &data_class, sizeof data_class},
        {CKA_LABEL, (void*)label.data(), label.size()},
        {CKA_VALUE, (void*)value.data(), value.size()},
        {CKA_TOKEN, &yes, 1},
        {CKA_PRIVATE, &yes, 1},
    };
    CK_OBJECT_HANDLE object;
    check(f->C_CreateObject(session, templ, 5, &object), "C_CreateObject");
  });
}

std::vector<uint8_t> SoftToken::attribute(const std::string& label, CK_OBJECT_CLASS object_class,
                                          CK_ATTRIBUTE_TYPE type) {
  std::vector<uint8_t> value;
  with_session([&](CK_FUNCTION_LIST_PTR f, CK_SESSION_HANDLE session) {
    CK_ATTRIBUTE templ[] = {{CKA_LABEL, (void*)label.data(), label.size()},
                            {CKA_CLASS, &object_class, sizeof object_class}};
    const auto objects = find_all(f, session, templ, 2);
    if (objects.empty()) throw std::runtime_error("no object labelled " + label);
    CK_ATTRIBUTE attr{type, nullptr, 0};
    check(f->C_GetAttributeValue(session, objects[0], &attr, 1), "C_GetAttributeValue");
    value.resize(attr.ulValueLen);
    attr.pValue = value.data();
    check(f->C_GetAttributeValue(session, objects[0], &attr, 1), "C_GetAttributeValue");
  });
  return value;
}

CK_TOKEN_INFO SoftToken::token_info() {
  CK_FUNCTION_LIST_PTR f = functions();
  Initialized initialized(f);
  CK_TOKEN_INFO info;
  check(f->C_GetTokenInfo(slot(), &info), "C_GetTokenInfo");
  return info;
}

// A SoftHSM2 token of its own for each test: a configuration and a token
// directory under a temporary directory, one initialised token, and direct
// access to it for preparing and inspecting objects.
#pragma once

#include <p11-kit/pkcs11.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"

constexpr char kSoftHsmModule[] = "/usr/lib/softhsm/libsofthsm2.so";
constexpr char kUserPin[] = "1234";
constexpr char kSoPin[] = "so-pin-5678";

class SoftToken {
 public:
  // Creates the directory, points SOFTHSM2_CONF at it and initialises one
  // token with the label and user PIN. SoftHSM2 is finalised again after.
  explicit SoftToken(const std::string& label, const std::string& user_pin = kUserPin);
  ~SoftToken();
  SoftToken(const SoftToken&) = delete;
  SoftToken& operator=(const SoftToken&) = delete;

  // Runs fn in a user session on the token (logged in, logged out after).
  void with_session(const std::function<void(CK_FUNCTION_LIST_PTR, CK_SESSION_HANDLE)>& fn);

  // Objects on the token.
  int count_objects(const std::string& label);
  int count_objects_of_class(CK_OBJECT_CLASS object_class);
  // Generates an RSA pair with any label; subject and id as given.
  void generate_pair(const std::string& label, const std::string& subject, int bits = 1024);
  void create_data(const std::string& label, const std::string& value);
  // The value of one attribute of the first object with the label and class.
  std::vector<uint8_t> attribute(const std::string& label, CK_OBJECT_CLASS object_class,
                                 CK_ATTRIBUTE_TYPE type);
  CK_TOKEN_INFO token_info();
  // Initialises a second token in SoftHSM2's free slot (which leaves a new free slot).
  void init_free_slot(const std::string& label, const std::string& user_pin);

  const std::filesystem::path& dir() const { return dir_; }

 private:
  void init_slot(CK_SLOT_ID slot, const std::string& label, const std::string& user_pin);
  CK_FUNCTION_LIST_PTR functions();
  CK_SLOT_ID slot();

  std::filesystem::path dir_;
  platform::LibraryHandle module_ = nullptr;
  CK_FUNCTION_LIST_PTR functions_ = nullptr;
  std::string user_pin_;
};

std::string text_of(const std::vector<uint8_t>& bytes);

// One session on the selected token, opened and closed inside one operation.
#pragma once

#include <vector>

#include "engines/pkcs11_context.h"

namespace pkcs11 {

// Opens a read-write session on the selected token. The destructor logs out
// (when this session logged in) and closes the session, so that every return
// path of an operation releases both.
class Session {
 public:
  explicit Session(Context& ctx);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // 0, or CORE_E_NOT_READY when no library, no such token or no session.
  int open();
  // Opens on a given slot instead of the selected token's.
  int open_on_slot(CK_SLOT_ID slot);
  // C_Login as the user with the stored PIN: 0 or CORE_E_PASSPHRASE. With
  // no PIN stored, a token whose reader has a PIN pad logs in with a null
  // PIN, so that the user types the PIN on the reader.
  int login();
  // open, then login: the first failure.
  int open_logged_in() {
    if (const int rc = open(); rc != 0) return rc;
    return login();
  }
  // For a session that something else has already closed (C_CloseAllSessions).
  void forget() {
    open_ = false;
    logged_in_ = false;
  }

  CK_FUNCTION_LIST_PTR f() const { return ctx_.functions; }
  CK_SESSION_HANDLE handle() const { return handle_; }
  Context& context() const { return ctx_; }

  // The first object that matches the template, or CK_INVALID_HANDLE when
  // none matches or the search fails.
  CK_OBJECT_HANDLE find_one(CK_ATTRIBUTE* templ, CK_ULONG count);
  // The RSA key object of a serial (CKO_PRIVATE_KEY or CKO_PUBLIC_KEY).
  CK_OBJECT_HANDLE find_key(uint32_t serial, CK_OBJECT_CLASS key_class);
  // Destroys every object with the label: 0, or -1 when a destroy fails.
  int delete_all_with_label(const std::string& label);

 private:
  bool has_pin_pad();

  Context& ctx_;
  CK_SESSION_HANDLE handle_ = CK_INVALID_HANDLE;
  bool open_ = false;
  bool logged_in_ = false;
};

// Attribute helpers for templates.
inline CK_ATTRIBUTE attribute(CK_ATTRIBUTE_TYPE type, const void* value, CK_ULONG length) {
  return CK_ATTRIBUTE{type, const_cast<void*>(value), length};
}
template <typename T>
CK_ATTRIBUTE attribute_of(CK_ATTRIBUTE_TYPE type, const T& value) {
  return attribute(type, &value, sizeof value);
}

}  // namespace pkcs11

// What the forwarding test vendor library records and lets a test change.
// The library passes the standard PKCS#11 functions on to SoftHSM2, counts
// sessions and logins, and plays a vendor's extended function list.
#pragma once

#include <p11-kit/pkcs11.h>

#include <cstdint>

// The vendor's token initialisation record as the library reads it.
struct ForwarderInitInfo {
  CK_ULONG size;
  CK_ULONG version;
  CK_UTF8CHAR_PTR so_pin;
  CK_ULONG so_pin_length;
  CK_UTF8CHAR_PTR user_pin;
  CK_ULONG user_pin_length;
  CK_ULONG mode;
  CK_ULONG min_so_pin_length;
  CK_ULONG min_user_pin_length;
  CK_ULONG max_so_pin_tries;
  CK_ULONG max_user_pin_tries;
  CK_UTF8CHAR_PTR label;
  CK_ULONG label_length;
};

constexpr size_t kForwarderTokenInfoSize = 152;
constexpr int kForwarderMaxSessions = 64;

struct ForwarderState {
  // Counters.
  int initialize_calls;
  int sessions_opened;
  int sessions_closed;        // by C_CloseSession or C_CloseAllSessions
  int user_logins;            // successful C_Login as the user
  int user_logouts;           // successful C_Logout after a user login
  int so_login_calls;         // C_Login as the security officer, any result
  int close_all_calls;
  int open_sessions() const { return sessions_opened - sessions_closed; }

  // Behaviour a test can switch on.
  bool fail_initialize;       // C_Initialize fails
  bool forgot_initialization; // C_GetSlotList answers "not initialised" until C_Initialize
  bool vendor_status_object;  // the token shows a vendor status hardware feature object
  uint32_t vendor_status_values[2];  // its attributes 0x80001110 and 0x80001112

  // The extended function list.
  CK_RV token_info_result;
  uint8_t token_info[kForwarderTokenInfoSize];  // copied out after the size word
  int token_info_calls;
  uint32_t token_info_size_received;
  CK_SLOT_ID token_info_slot;

  CK_RV init_token_result;
  int init_token_calls;
  CK_SLOT_ID init_token_slot;
  char init_token_pin[64];
  ForwarderInitInfo init_info;  // the words as received (pointers not followed)
  char init_info_so_pin[64];
  char init_info_user_pin[64];
  char init_info_label[33];

  // Open sessions and their slots, for C_CloseAllSessions.
  CK_SESSION_HANDLE session_handles[kForwarderMaxSessions];
  CK_SLOT_ID session_slots[kForwarderMaxSessions];

  // Token flags SoftHSM2 never sets, added to every token's information:
  // CKF_USER_PIN_FINAL_TRY, CKF_USER_PIN_COUNT_LOW, CKF_USER_PIN_LOCKED
  // (logins then fail with CKR_PIN_LOCKED) and
  // CKF_PROTECTED_AUTHENTICATION_PATH (a login with a null PIN stands for
  // the user typing pin_pad_pin on the reader).
  CK_FLAGS extra_token_flags;
  char pin_pad_pin[64];
  int user_login_attempts;    // C_Login as the user, any result
  int null_pin_logins;        // of them, with a null PIN
};

// Exported by the library under this name.
using ForwarderStateFn = ForwarderState* (*)();
constexpr char kForwarderStateSymbol[] = "forwarder_state";

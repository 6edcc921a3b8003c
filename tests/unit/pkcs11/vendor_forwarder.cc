// A test vendor library: forwards the standard PKCS#11 functions to SoftHSM2,
// counts sessions and logins, and (unless built with FORWARDER_NO_EXTENSION)
// offers a vendor extended function list that records what it receives.
#include <dlfcn.h>

#include <cstring>

#include "forwarder_state.h"

// The vendor's extended function list.
struct VendorList {
  CK_VERSION version;
  void* get_function_list_extended;
  CK_RV (*init_token)(CK_SLOT_ID, CK_UTF8CHAR_PTR, CK_ULONG, void*);
  CK_RV (*get_token_info_extended)(CK_SLOT_ID, void*);
};

namespace {

ForwarderState g_state;
CK_FUNCTION_LIST g_real;       // SoftHSM2's functions
CK_FUNCTION_LIST g_forwarded;  // what this library hands out
void* g_softhsm = nullptr;
int g_initialized = 0;         // this library's own C_Initialize count
bool g_owns_softhsm = false;   // SoftHSM2 was initialised by this library

// The emulated vendor status object and the search that finds it.
constexpr CK_OBJECT_HANDLE kStatusObject = 0x7f5a0001;
CK_SESSION_HANDLE g_status_search = CK_INVALID_HANDLE;
bool g_status_search_done = false;

void remember_session(CK_SESSION_HANDLE handle, CK_SLOT_ID slot) {
  for (int i = 0; i < kForwarderMaxSessions; ++i) {
    if (g_state.session_handles[i] == CK_INVALID_HANDLE) {
      g_state.session_handles[i] = handle;
      g_state.session_slots[i] = slot;
      return;
    }
  }
}

bool forget_session(CK_SESSION_HANDLE handle) {
  for (int i = 0; i < kForwarderMaxSessions; ++i) {
    if (g_state.session_handles[i] == handle) {
      g_state.session_handles[i] = CK_INVALID_HANDLE;
      return true;
    }
  }
  return false;
}

CK_RV fw_initialize(void* args) {
  ++g_state.initialize_calls;
  if (g_state.fail_initialize) return CKR_GENERAL_ERROR;
  if (g_state.forgot_initialization) {
    g_state.forgot_initialization = false;
    return CKR_OK;
  }
  // Loaded under several vendor names, the library is one instance: each
  // name initialises and finalises on its own, SoftHSM2 once.
  if (g_initialized++ > 0) return CKR_OK;
  const CK_RV rv = g_real.C_Initialize(args);
  if (rv == CKR_OK) {
    g_owns_softhsm = true;
    return CKR_OK;
  }
  if (rv == CKR_CRYPTOKI_ALREADY_INITIALIZED) {
    g_owns_softhsm = false;
    return CKR_OK;
  }
  g_initialized = 0;
  return rv;
}

CK_RV fw_finalize(void* args) {
  if (g_initialized == 0) return CKR_CRYPTOKI_NOT_INITIALIZED;
  if (--g_initialized > 0 || !g_owns_softhsm) return CKR_OK;
  g_owns_softhsm = false;
  return g_real.C_Finalize(args);
}

CK_RV fw_get_slot_list(CK_BBOOL present, CK_SLOT_ID_PTR list, CK_ULONG_PTR count) {
  if (g_state.forgot_initialization) return CKR_CRYPTOKI_NOT_INITIALIZED;
  return g_real.C_GetSlotList(present, list, count);
}

CK_RV fw_open_session(CK_SLOT_ID slot, CK_FLAGS flags, void* app, CK_NOTIFY notify,
                      CK_SESSION_HANDLE_PTR session) {
  const CK_RV rv = g_real.C_OpenSession(slot, flags, app, notify, session);
  if (rv == CKR_OK) {
    ++g_state.sessions_opened;
    remember_session(*session, slot);
  }
  return rv;
}

CK_RV fw_close_session(CK_SESSION_HANDLE session) {
  const CK_RV rv = g_real.C_CloseSession(session);
  if (rv == CKR_OK && forget_session(session)) ++g_state.sessions_closed;
  return rv;
}

CK_RV fw_close_all_sessions(CK_SLOT_ID slot) {
  ++g_state.close_all_calls;
  const CK_RV rv = g_real.C_CloseAllSessions(slot);
  if (rv != CKR_OK) return rv;
  for (int i = 0; i < kForwarderMaxSessions; ++i) {
    if (g_state.session_handles[i] != CK_INVALID_HANDLE && g_state.session_slots[i] == slot) {
      g_state.session_handles[i] = CK_INVALID_HANDLE;
      ++g_state.sessions_closed;
    }
  }
  return rv;
}

CK_RV fw_get_token_info(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
  const CK_RV rv = g_real.C_GetTokenInfo(slot, info);
  if (rv == CKR_OK) info->flags |= g_state.extra_token_flags;
  return rv;
}

CK_RV fw_login(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
  if (user == CKU_SO) ++g_state.so_login_calls;
  if (user == CKU_USER) {
    ++g_state.user_login_attempts;
    if (pin == nullptr) ++g_state.null_pin_logins;
    if (g_state.extra_token_flags & CKF_USER_PIN_LOCKED) return CKR_PIN_LOCKED;
    if (pin == nullptr) {
      if ((g_state.extra_token_flags & CKF_PROTECTED_AUTHENTICATION_PATH) == 0) return CKR_ARGUMENTS_BAD;
      pin = reinterpret_cast<CK_UTF8CHAR_PTR>(g_state.pin_pad_pin);
      length = std::strlen(g_state.pin_pad_pin);
    }
  }
  const CK_RV rv = g_real.C_Login(session, user, pin, length);
  if (rv == CKR_OK && user == CKU_USER) ++g_state.user_logins;
  return rv;
}

CK_RV fw_logout(CK_SESSION_HANDLE session) {
  const CK_RV rv = g_real.C_Logout(session);
  if (rv == CKR_OK) ++g_state.user_logouts;
  return rv;
}

bool asks_for_status_object(CK_ATTRIBUTE_PTR templ, CK_ULONG count) {
  for (CK_ULONG i = 0; i < count; ++i) {
    if (templ[i].type == CKA_CLASS && templ[i].ulValueLen == sizeof(CK_OBJECT_CLASS) &&
        *static_cast<CK_OBJECT_CLASS*>(templ[i].pValue) == CKO_HW_FEATURE)
      return true;
  }
  return false;
}

CK_RV fw_find_objects_init(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR templ, CK_ULONG count) {
  if (g_state.vendor_status_object && asks_for_status_object(templ, count)) {
    g_status_search = session;
    g_status_search_done = false;
    return CKR_OK;
  }
  return g_real.C_FindObjectsInit(session, templ, count);
}

CK_RV fw_find_objects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG max,
                      CK_ULONG_PTR found) {
  if (session == g_status_search) {
    *found = 0;
    if (!g_status_search_done && max > 0) {
      objects[0] = kStatusObject;
      *found = 1;
      g_status_search_done = true;
    }
    return CKR_OK;
  }
  return g_real.C_FindObjects(session, objects, max, found);
}

CK_RV fw_find_objects_final(CK_SESSION_HANDLE session) {
  if (session == g_status_search) {
    g_status_search = CK_INVALID_HANDLE;
    return CKR_OK;
  }
  return g_real.C_FindObjectsFinal(session);
}

CK_RV fw_get_attribute_value(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                             CK_ATTRIBUTE_PTR templ, CK_ULONG count) {
  if (object != kStatusObject) return g_real.C_GetAttributeValue(session, object, templ, count);
  for (CK_ULONG i = 0; i < count; ++i) {
    int which = templ[i].type == 0x80001110 ? 0 : templ[i].type == 0x80001112 ? 1 : -1;
    if (which < 0 || templ[i].ulValueLen < 4) return CKR_ATTRIBUTE_TYPE_INVALID;
    std::memcpy(templ[i].pValue, &g_state.vendor_status_values[which], 4);
    templ[i].ulValueLen = 4;
  }
  return CKR_OK;
}

bool load_softhsm() {
  if (g_softhsm != nullptr) return true;
  g_softhsm = dlopen(SOFTHSM2_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (g_softhsm == nullptr) return false;
  auto get_list = reinterpret_cast<CK_C_GetFunctionList>(dlsym(g_softhsm, "C_GetFunctionList"));
  CK_FUNCTION_LIST_PTR real = nullptr;
  if (get_list == nullptr || get_list(&real) != CKR_OK) return false;
  g_real = *real;
  g_forwarded = *real;
  g_forwarded.C_Initialize = fw_initialize;
  g_forwarded.C_Finalize = fw_finalize;
  g_forwarded.C_GetSlotList = fw_get_slot_list;
  g_forwarded.C_OpenSession = fw_open_session;
  g_forwarded.C_CloseSession = fw_close_session;
  g_forwarded.C_CloseAllSessions = fw_close_all_sessions;
  g_forwarded.C_Login = fw_login;
  g_forwarded.C_GetTokenInfo = fw_get_token_info;
  g_forwarded.C_Logout = fw_logout;
  g_forwarded.C_FindObjectsInit = fw_find_objects_init;
  g_forwarded.C_FindObjects = fw_find_objects;
  g_forwarded.C_FindObjectsFinal = fw_find_objects_final;
  g_forwarded.C_GetAttributeValue = fw_get_attribute_value;
  return true;
}

// --- the vendor extension
#ifndef FORWARDER_NO_EXTENSION

void copy_text(char* out, size_t size, const CK_UTF8CHAR* text, CK_ULONG length) {
  std::memset(out, 0, size);
  if (text != nullptr) std::memcpy(out, text, length < size - 1 ? length : size - 1);
}

CK_RV ex_get_token_info(CK_SLOT_ID slot, void* info) {
  ++g_state.token_info_calls;
  g_state.token_info_slot = slot;
  std::memcpy(&g_state.token_info_size_received, info, 4);
  if (g_state.token_info_result != CKR_OK) return g_state.token_info_result;
  // The caller's size word stays; the vendor's words follow it.
  std::memcpy(static_cast<uint8_t*>(info) + 4, g_state.token_info + 4, kForwarderTokenInfoSize - 4);
  return CKR_OK;
}

CK_RV ex_init_token(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG pin_length, void* init_info) {
  ++g_state.init_token_calls;
  g_state.init_token_slot = slot;
  copy_text(g_state.init_token_pin, sizeof g_state.init_token_pin, pin, pin_length);
  const auto* init = static_cast<const ForwarderInitInfo*>(init_info);
  g_state.init_info = *init;
  copy_text(g_state.init_info_so_pin, sizeof g_state.init_info_so_pin, init->so_pin,
            init->so_pin_length);
  copy_text(g_state.init_info_user_pin, sizeof g_state.init_info_user_pin, init->user_pin,
            init->user_pin_length);
  copy_text(g_state.init_info_label, sizeof g_state.init_info_label, init->label,
            init->label_length);
  if (g_state.init_token_result != CKR_OK) return g_state.init_token_result;
  // Re-initialise the software token for real, under the label given.
  CK_UTF8CHAR label[32];
  std::memset(label, ' ', sizeof label);
  std::memcpy(label, g_state.init_info_label, std::strlen(g_state.init_info_label));
  return g_real.C_InitToken(slot, pin, pin_length, label);
}
#endif

}  // namespace

extern "C" {

__attribute__((visibility("default"))) CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
  if (list == nullptr) return CKR_ARGUMENTS_BAD;
  if (!load_softhsm()) return CKR_GENERAL_ERROR;
  *list = &g_forwarded;
  return CKR_OK;
}

__attribute__((visibility("default"))) ForwarderState* forwarder_state() { return &g_state; }

#ifndef FORWARDER_NO_EXTENSION
__attribute__((visibility("default"))) CK_RV C_EX_GetFunctionListExtended(void** list);

CK_RV C_EX_GetFunctionListExtended(void** list) {
  static VendorList vendor_list{{1, 0}, reinterpret_cast<void*>(&C_EX_GetFunctionListExtended),
                                ex_init_token, ex_get_token_info};
  if (list == nullptr) return CKR_ARGUMENTS_BAD;
  *list = &vendor_list;
  return CKR_OK;
}
#endif

}  // extern "C"

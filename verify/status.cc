#include "verify/velixverify.h"

#ifndef VELIXVERIFY_VERSION
#define VELIXVERIFY_VERSION "0.0.0"
#endif

extern "C" const char* velix_status_text(velix_status status) {
  switch (status) {
    case VELIX_OK: return "good";
    case VELIX_E_ARGS: return "invalid argument";
    case VELIX_E_NOMEM: return "out of memory";
    case VELIX_E_DOCUMENT: return "not a well-formed signed document";
    case VELIX_E_DOCUMENT_TYPE: return "the document is not a signed message";
    case VELIX_E_ARMOR: return "the signature's armor is broken";
    case VELIX_E_PACKET: return "the signature packet is malformed";
    case VELIX_E_ALGORITHM: return "unsupported signature version or algorithm";
    case VELIX_E_SERIAL_MISMATCH: return "the document names another key than its signature";
    case VELIX_E_CARDS: return "the card collection is malformed or empty";
    case VELIX_E_CARD_NOT_FOUND: return "no card for the signing key";
    case VELIX_E_BAD_SIGNATURE: return "the signature does not match";
    case VELIX_E_NO_AUTH_LINE: return "the text has no AUTH line";
    case VELIX_E_BAD_AUTH_LINE: return "the AUTH line does not match";
    case VELIX_E_PREFIX: return "the digest prefix is not 20 hex digits";
    case VELIX_E_TOO_LARGE: return "the input is too large";
  }
  return "unknown status";
}

extern "C" const char* velix_verify_version(void) { return VELIXVERIFY_VERSION; }

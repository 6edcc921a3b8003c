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
    case VELIX_E_TRAILING_DATA: return "data follows the document's END SIGNATURE line";
    case VELIX_E_EXTRA_PACKETS:
      return "the signature block holds other packets than the signature and its trust packet";
    case VELIX_E_ARMOR_TRAILING: return "text follows the signature's check line";
    case VELIX_E_TOTAL_FIELD: return "the total field is not the document's length";
    case VELIX_E_VERSION: return "the document version is not 01";
    case VELIX_E_PLAIN_LENGTH: return "the plain length is not the text's length";
    case VELIX_E_NAME_LINES: return "the name lines are not as the signer writes them";
    case VELIX_E_LAYOUT: return "the document's lines are not as the signer writes them";
    case VELIX_E_ARMOR_LAYOUT: return "the signature's armor is not as the signer writes it";
    case VELIX_E_DUPLICATE_SERIAL: return "two cards have the same serial";
    case VELIX_E_CARD_USER_ID: return "a card's user ID packet is missing or differs from its name line";
    case VELIX_E_CARD_CHECK_WORD: return "a card's user ID check word does not match";
    case VELIX_E_CARD_CERTIFICATION: return "a card's certification does not verify";
    case VELIX_E_KEY_TOO_SMALL: return "a card's key is shorter than 512 bits";
  }
  return "unknown status";
}

extern "C" const char* velix_verify_version(void) { return VELIXVERIFY_VERSION; }

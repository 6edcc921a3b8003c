/* libvelixverify: checks signed documents and detached signatures made by the
 * velix signer, for the servers that receive them.
 *
 * Plain C, no global state: a card collection is read once and may then be
 * shared by any number of threads; every other object belongs to one thread
 * at a time. Lengths are byte counts; nothing in the input is trusted, every
 * length is checked against the bytes actually given.
 */
#ifndef VELIXVERIFY_H
#define VELIXVERIFY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VELIXVERIFY_BUILD) && defined(__GNUC__)
#define VELIXVERIFY_API __attribute__((visibility("default")))
#else
#define VELIXVERIFY_API
#endif

/* Every outcome has its own code; only VELIX_OK is success. */
typedef enum velix_status {
  VELIX_OK = 0,
  VELIX_E_ARGS = 1,              /* an absent pointer or an impossible argument */
  VELIX_E_NOMEM = 2,             /* memory ran out */
  VELIX_E_DOCUMENT = 3,          /* the text is not a well-formed document */
  VELIX_E_DOCUMENT_TYPE = 4,     /* a document, but not a signed message ("SM") */
  VELIX_E_ARMOR = 5,             /* the signature block's armor or its check line is broken */
  VELIX_E_PACKET = 6,            /* the signature packets are malformed or cut short */
  VELIX_E_ALGORITHM = 7,         /* a signature version or algorithm this library does not know */
  VELIX_E_SERIAL_MISMATCH = 8,   /* the document's name line names another key than its signature */
  VELIX_E_CARDS = 9,             /* the card collection holds no readable card, or a malformed one */
  VELIX_E_CARD_NOT_FOUND = 10,   /* no card in the collection has the signing key's serial */
  VELIX_E_BAD_SIGNATURE = 11,    /* the signature does not match the signed bytes and the key */
  VELIX_E_NO_AUTH_LINE = 12,     /* the signed text does not end with an AUTH line */
  VELIX_E_BAD_AUTH_LINE = 13,    /* the AUTH line does not match the text, the key and the prefix */
  VELIX_E_PREFIX = 14,           /* a digest prefix that is not 20 hex digits */
  VELIX_E_TOO_LARGE = 15         /* an input over the library's size limit */
} velix_status;

/* A fixed English text for a status; never NULL. */
VELIXVERIFY_API const char* velix_status_text(velix_status status);
/* The library's version, "MAJOR.MINOR.PATCH". */
VELIXVERIFY_API const char* velix_verify_version(void);

/* A card collection: public key cards ("NS" documents), one after another,
 * as in a pubkeys.key or Public.iks file. Immutable once loaded. */
typedef struct velix_cards velix_cards;

/* Reads every card of the text. Blank bytes between cards are allowed; the
 * first thing that is not a card ends the collection with VELIX_E_CARDS unless
 * it is only blanks. When two cards have the same serial the later one
 * counts, as the signer's own collection writer keeps it. */
VELIXVERIFY_API velix_status velix_cards_load(const char* text, size_t length, velix_cards** cards);
VELIXVERIFY_API void velix_cards_free(velix_cards* cards);
VELIXVERIFY_API size_t velix_cards_count(const velix_cards* cards);

/* What a check found out; filled as far as it got, also on failure. */
typedef struct velix_signer_info {
  uint32_t serial;              /* the signing key's serial (from the signature) */
  char user_id[24];             /* its user ID (from the card), NUL-terminated */
  uint32_t signed_at;           /* signing time, seconds since 1970-01-01 UTC */
  int modulus_bits;             /* the key's modulus size, 0 when no card was found */
  const char* text;             /* documents: the signed text, pointing into the input */
  size_t text_length;
} velix_signer_info;

/* Checks a signed document: its form, the signer's card in the collection
 * and the signature over the text. */
VELIXVERIFY_API velix_status velix_verify_document(const velix_cards* cards, const char* document, size_t length,
                                                   velix_signer_info* info);

/* Checks a detached signature (the armored signature alone) over data. */
VELIXVERIFY_API velix_status velix_verify_detached(const velix_cards* cards, const char* signature,
                                                   size_t signature_length, const void* data, size_t data_length,
                                                   velix_signer_info* info);

/* The same for data given in pieces (files of any size). begin reads the
 * signature; update may be called any number of times; finish checks and
 * frees the check in every case. */
typedef struct velix_detached velix_detached;
VELIXVERIFY_API velix_status velix_detached_begin(const char* signature, size_t signature_length,
                                                  velix_detached** check);
VELIXVERIFY_API void velix_detached_update(velix_detached* check, const void* data, size_t length);
VELIXVERIFY_API velix_status velix_detached_finish(velix_detached* check, const velix_cards* cards,
                                                   velix_signer_info* info);
/* Frees a check without finishing it. */
VELIXVERIFY_API void velix_detached_free(velix_detached* check);

/* The AUTH line's key type: which kind of key signed. */
typedef enum velix_key_type { VELIX_KEY_FILE = 0, VELIX_KEY_TOKEN = 1 } velix_key_type;

/* Reads a digest prefix of 20 hex digits into 10 bytes. */
VELIXVERIFY_API velix_status velix_parse_prefix(const char* hex, uint8_t prefix[10]);

/* The 28-character AUTH digest (plus a NUL) of the text that precedes the AUTH
 * line, for the prefix, key type and serial. */
VELIXVERIFY_API velix_status velix_auth_digest(const uint8_t prefix[10], velix_key_type key_type, const char* text,
                                               size_t text_length, uint32_t serial, char digest[29]);

/* Checks the AUTH line that ends a signed text (info->text of a verified
 * document) against the prefix and serial. The key type is not written in the
 * document, so both are tried; *key_type (may be NULL) receives the one that
 * matched. */
VELIXVERIFY_API velix_status velix_check_auth_line(const uint8_t prefix[10], const char* text, size_t text_length,
                                                   uint32_t serial, velix_key_type* key_type);

#ifdef __cplusplus
}
#endif

#endif /* VELIXVERIFY_H */

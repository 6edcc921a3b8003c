/* libvelixverify: checks signed documents and detached signatures made by the
 * velix signer, for the servers that receive them.
 *
 * Plain C, no global state: a card collection is read once and may then be
 * shared by any number of threads; every other object belongs to one thread
 * at a time. Lengths are byte counts; nothing in the input is trusted, every
 * length is checked against the bytes actually given.
 *
 * Trust: a signature is only as good as the card it is checked with. The
 * library checks that each card is well formed and certified, but a card
 * collection is as trustworthy as the place the server got it from: load it
 * from a file only the server's administrators can write, never from the
 * documents' senders.
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
  VELIX_E_TOO_LARGE = 15,        /* an input over the library's size limit */
  VELIX_E_TRAILING_DATA = 16,    /* something but blanks follows the END SIGNATURE line */
  VELIX_E_EXTRA_PACKETS = 17,    /* the signature block holds other packets than the signature and its trust */
  VELIX_E_ARMOR_TRAILING = 18,   /* something but blanks follows the armor's check line */
  VELIX_E_TOTAL_FIELD = 19,      /* strict: the total field is not the document's length minus 8 */
  VELIX_E_VERSION = 20,          /* strict: the document version is not 01 */
  VELIX_E_PLAIN_LENGTH = 21,     /* strict: the plain length differs from the text's length */
  VELIX_E_NAME_LINES = 22,       /* strict: the name lines are not the signer's (padding, digits, line 2) */
  VELIX_E_LAYOUT = 23,           /* strict: line breaks, blanks or keyword lines not as the signer writes them */
  VELIX_E_ARMOR_LAYOUT = 24,     /* strict: the signature's armor is not laid out as the signer writes it */
  VELIX_E_DUPLICATE_SERIAL = 25, /* two cards of the collection have the same serial */
  VELIX_E_CARD_USER_ID = 26,     /* a card's user ID packet is missing or differs from its name line */
  VELIX_E_CARD_CHECK_WORD = 27,  /* a card's user ID check word does not match its user ID */
  VELIX_E_CARD_CERTIFICATION = 28, /* a card's certification is missing or does not verify */
  VELIX_E_KEY_TOO_SMALL = 29     /* a card's modulus has fewer than 512 bits */
} velix_status;
#define VELIX_STATUS_LAST VELIX_E_KEY_TOO_SMALL

/* Flags. Without any, documents must be exactly in the form the signer writes
 * (strict) and a card collection may not hold two cards of one serial. */
#define VELIX_LENIENT 0x1u          /* documents: accept the looser forms older readers took */
#define VELIX_CARDS_LATER_WINS 0x2u /* cards: a later card replaces an earlier one of its serial */

/* A fixed English text for a status; never NULL. */
VELIXVERIFY_API const char* velix_status_text(velix_status status);
/* The library's version, "MAJOR.MINOR.PATCH". */
VELIXVERIFY_API const char* velix_verify_version(void);

/* A card collection: public key cards ("NS" documents), one after another,
 * as in a pubkeys.key or Public.iks file. Immutable once loaded. */
typedef struct velix_cards velix_cards;

/* Reads every card of the text. Blank bytes between cards are allowed; the
 * first thing that is not a card ends the collection with VELIX_E_CARDS unless
 * it is only blanks. Each card must hold one public key of at least 512 bits,
 * one user ID packet whose text its name line shows, the matching check word,
 * and a key certification that verifies with its own key or with the card of
 * the certifying key in the same collection. Two cards of one serial are
 * refused (VELIX_E_DUPLICATE_SERIAL) unless flags hold VELIX_CARDS_LATER_WINS. */
VELIXVERIFY_API velix_status velix_cards_load(const char* text, size_t length, unsigned flags, velix_cards** cards);
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
  size_t consumed;              /* documents: input bytes up to the END SIGNATURE line's end */
} velix_signer_info;

/* Checks a signed document: its form, the signer's card in the collection
 * and the signature over the text. Strict (flags 0): the document must be
 * byte for byte what the signer writes, only blanks may follow it, and each
 * difference has its own status. VELIX_LENIENT accepts what older readers did
 * (leading blanks, other line breaks and armor layout, unchecked total and
 * plain length, text after END SIGNATURE); info->consumed then tells where the
 * document ended, so a caller can still refuse trailing data. In both modes
 * the signature block must hold exactly the signature and its trust packet,
 * with nothing after the armor's check line. Two inputs that verify strictly
 * with the same text and signature differ at most in the blanks after END
 * SIGNATURE: a replay filter keys on the bytes up to it. */
VELIXVERIFY_API velix_status velix_verify_document(const velix_cards* cards, const char* document, size_t length,
                                                   unsigned flags, velix_signer_info* info);

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
/* update refuses an absent check, and absent data with a non-zero length. */
VELIXVERIFY_API velix_status velix_detached_update(velix_detached* check, const void* data, size_t length);
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
 * matched. *line_start (may be NULL) receives the offset in text where the
 * AUTH line starts whenever there is one, so text[0, *line_start) is the
 * message without it. */
VELIXVERIFY_API velix_status velix_check_auth_line(const uint8_t prefix[10], const char* text, size_t text_length,
                                                   uint32_t serial, velix_key_type* key_type, size_t* line_start);

#ifdef __cplusplus
}
#endif

#endif /* VELIXVERIFY_H */

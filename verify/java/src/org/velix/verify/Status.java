package org.velix.verify;

/** libvelixverify's status codes (velix_status in velixverify.h). */
public enum Status {
  OK(0), ARGS(1), NOMEM(2), DOCUMENT(3), DOCUMENT_TYPE(4), ARMOR(5), PACKET(6), ALGORITHM(7),
  SERIAL_MISMATCH(8), CARDS(9), CARD_NOT_FOUND(10), BAD_SIGNATURE(11), NO_AUTH_LINE(12),
  BAD_AUTH_LINE(13), PREFIX(14), TOO_LARGE(15), TRAILING_DATA(16), EXTRA_PACKETS(17),
  ARMOR_TRAILING(18), TOTAL_FIELD(19), VERSION(20), PLAIN_LENGTH(21), NAME_LINES(22), LAYOUT(23),
  ARMOR_LAYOUT(24), DUPLICATE_SERIAL(25), CARD_USER_ID(26), CARD_CHECK_WORD(27),
  CARD_CERTIFICATION(28), KEY_TOO_SMALL(29);

  private final int code;

  Status(int code) {
    this.code = code;
  }

  public int code() {
    return code;
  }

  /** The status of a code; a code this version does not know is refused. */
  public static Status of(int code) {
    for (Status status : values()) {
      if (status.code == code) return status;
    }
    throw new IllegalArgumentException("unknown libvelixverify status " + code);
  }
}

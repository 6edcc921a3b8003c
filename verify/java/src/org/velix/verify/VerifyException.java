package org.velix.verify;

/**
 * A check that failed: {@link #status()} says why, {@link #serial()} is the signing key's serial
 * when the signature was read that far, else 0. Each failing status has its own subclass, named
 * as in the Python package, so a caller may catch the ones it treats apart.
 */
public class VerifyException extends Exception {
  private static final long serialVersionUID = 1L;
  private final Status status;
  private final long serial;

  VerifyException(Status status, String message, long serial) {
    super(message);
    this.status = status;
    this.serial = serial;
  }

  public Status status() {
    return status;
  }

  public long serial() {
    return serial;
  }

  /** The exception of a failing status. */
  static VerifyException of(Status status, String message, long serial) {
    return switch (status) {
      case ARGS -> new InvalidArgument(message, serial);
      case NOMEM -> new OutOfMemory(message, serial);
      case DOCUMENT -> new MalformedDocument(message, serial);
      case DOCUMENT_TYPE -> new NotASignedMessage(message, serial);
      case ARMOR -> new BrokenArmor(message, serial);
      case PACKET -> new MalformedPacket(message, serial);
      case ALGORITHM -> new UnknownAlgorithm(message, serial);
      case SERIAL_MISMATCH -> new SerialMismatch(message, serial);
      case CARDS -> new MalformedCards(message, serial);
      case CARD_NOT_FOUND -> new CardNotFound(message, serial);
      case BAD_SIGNATURE -> new BadSignature(message, serial);
      case NO_AUTH_LINE -> new NoAuthLine(message, serial);
      case BAD_AUTH_LINE -> new BadAuthLine(message, serial);
      case PREFIX -> new BadPrefix(message, serial);
      case TOO_LARGE -> new TooLarge(message, serial);
      case TRAILING_DATA -> new TrailingData(message, serial);
      case EXTRA_PACKETS -> new ExtraPackets(message, serial);
      case ARMOR_TRAILING -> new TextAfterArmor(message, serial);
      case TOTAL_FIELD -> new TotalFieldMismatch(message, serial);
      case VERSION -> new UnknownVersion(message, serial);
      case PLAIN_LENGTH -> new PlainLengthMismatch(message, serial);
      case NAME_LINES -> new NameLinesMismatch(message, serial);
      case LAYOUT -> new LayoutMismatch(message, serial);
      case ARMOR_LAYOUT -> new ArmorLayoutMismatch(message, serial);
      case DUPLICATE_SERIAL -> new DuplicateSerial(message, serial);
      case CARD_USER_ID -> new CardUserIdMismatch(message, serial);
      case CARD_CHECK_WORD -> new CardCheckWordMismatch(message, serial);
      case CARD_CERTIFICATION -> new CardCertificationFailed(message, serial);
      case KEY_TOO_SMALL -> new KeyTooSmall(message, serial);
      case OK -> throw new IllegalArgumentException("OK is no failure");
    };
  }

  public static final class InvalidArgument extends VerifyException {
    private static final long serialVersionUID = 1L;

    InvalidArgument(String message, long serial) {
      super(Status.ARGS, message, serial);
    }
  }

  public static final class OutOfMemory extends VerifyException {
    private static final long serialVersionUID = 1L;

    OutOfMemory(String message, long serial) {
      super(Status.NOMEM, message, serial);
    }
  }

  public static final class MalformedDocument extends VerifyException {
    private static final long serialVersionUID = 1L;

    MalformedDocument(String message, long serial) {
      super(Status.DOCUMENT, message, serial);
    }
  }

  public static final class NotASignedMessage extends VerifyException {
    private static final long serialVersionUID = 1L;

    NotASignedMessage(String message, long serial) {
      super(Status.DOCUMENT_TYPE, message, serial);
    }
  }

  public static final class BrokenArmor extends VerifyException {
    private static final long serialVersionUID = 1L;

    BrokenArmor(String message, long serial) {
      super(Status.ARMOR, message, serial);
    }
  }

  public static final class MalformedPacket extends VerifyException {
    private static final long serialVersionUID = 1L;

    MalformedPacket(String message, long serial) {
      super(Status.PACKET, message, serial);
    }
  }

  public static final class UnknownAlgorithm extends VerifyException {
    private static final long serialVersionUID = 1L;

    UnknownAlgorithm(String message, long serial) {
      super(Status.ALGORITHM, message, serial);
    }
  }

  public static final class SerialMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    SerialMismatch(String message, long serial) {
      super(Status.SERIAL_MISMATCH, message, serial);
    }
  }

  public static final class MalformedCards extends VerifyException {
    private static final long serialVersionUID = 1L;

    MalformedCards(String message, long serial) {
      super(Status.CARDS, message, serial);
    }
  }

  public static final class CardNotFound extends VerifyException {
    private static final long serialVersionUID = 1L;

    CardNotFound(String message, long serial) {
      super(Status.CARD_NOT_FOUND, message, serial);
    }
  }

  public static final class BadSignature extends VerifyException {
    private static final long serialVersionUID = 1L;

    BadSignature(String message, long serial) {
      super(Status.BAD_SIGNATURE, message, serial);
    }
  }

  public static final class NoAuthLine extends VerifyException {
    private static final long serialVersionUID = 1L;

    NoAuthLine(String message, long serial) {
      super(Status.NO_AUTH_LINE, message, serial);
    }
  }

  public static final class BadAuthLine extends VerifyException {
    private static final long serialVersionUID = 1L;

    BadAuthLine(String message, long serial) {
      super(Status.BAD_AUTH_LINE, message, serial);
    }
  }

  public static final class BadPrefix extends VerifyException {
    private static final long serialVersionUID = 1L;

    BadPrefix(String message, long serial) {
      super(Status.PREFIX, message, serial);
    }
  }

  public static final class TooLarge extends VerifyException {
    private static final long serialVersionUID = 1L;

    TooLarge(String message, long serial) {
      super(Status.TOO_LARGE, message, serial);
    }
  }

  public static final class TrailingData extends VerifyException {
    private static final long serialVersionUID = 1L;

    TrailingData(String message, long serial) {
      super(Status.TRAILING_DATA, message, serial);
    }
  }

  public static final class ExtraPackets extends VerifyException {
    private static final long serialVersionUID = 1L;

    ExtraPackets(String message, long serial) {
      super(Status.EXTRA_PACKETS, message, serial);
    }
  }

  public static final class TextAfterArmor extends VerifyException {
    private static final long serialVersionUID = 1L;

    TextAfterArmor(String message, long serial) {
      super(Status.ARMOR_TRAILING, message, serial);
    }
  }

  public static final class TotalFieldMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    TotalFieldMismatch(String message, long serial) {
      super(Status.TOTAL_FIELD, message, serial);
    }
  }

  public static final class UnknownVersion extends VerifyException {
    private static final long serialVersionUID = 1L;

    UnknownVersion(String message, long serial) {
      super(Status.VERSION, message, serial);
    }
  }

  public static final class PlainLengthMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    PlainLengthMismatch(String message, long serial) {
      super(Status.PLAIN_LENGTH, message, serial);
    }
  }

  public static final class NameLinesMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    NameLinesMismatch(String message, long serial) {
      super(Status.NAME_LINES, message, serial);
    }
  }

  public static final class LayoutMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    LayoutMismatch(String message, long serial) {
      super(Status.LAYOUT, message, serial);
    }
  }

  public static final class ArmorLayoutMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    ArmorLayoutMismatch(String message, long serial) {
      super(Status.ARMOR_LAYOUT, message, serial);
    }
  }

  public static final class DuplicateSerial extends VerifyException {
    private static final long serialVersionUID = 1L;

    DuplicateSerial(String message, long serial) {
      super(Status.DUPLICATE_SERIAL, message, serial);
    }
  }

  public static final class CardUserIdMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    CardUserIdMismatch(String message, long serial) {
      super(Status.CARD_USER_ID, message, serial);
    }
  }

  public static final class CardCheckWordMismatch extends VerifyException {
    private static final long serialVersionUID = 1L;

    CardCheckWordMismatch(String message, long serial) {
      super(Status.CARD_CHECK_WORD, message, serial);
    }
  }

  public static final class CardCertificationFailed extends VerifyException {
    private static final long serialVersionUID = 1L;

    CardCertificationFailed(String message, long serial) {
      super(Status.CARD_CERTIFICATION, message, serial);
    }
  }

  public static final class KeyTooSmall extends VerifyException {
    private static final long serialVersionUID = 1L;

    KeyTooSmall(String message, long serial) {
      super(Status.KEY_TOO_SMALL, message, serial);
    }
  }
}

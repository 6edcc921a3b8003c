package org.velix.verify;

import com.sun.jna.Memory;
import com.sun.jna.Pointer;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.time.Instant;
import java.util.Arrays;

/**
 * Checks of signed documents, detached signatures and AUTH lines. Every failed check throws a
 * {@link VerifyException} whose status says why.
 */
public final class Verifier {
  /** User IDs are written in the signer's ANSI code page; a Russian bank's is 1251. */
  public static final Charset DEFAULT_USER_ID_CHARSET = Charset.forName("windows-1251");

  private static final int CHUNK = 1 << 20;

  private Verifier() {}

  /** Checks a signed document strictly: exactly as the signer writes it, only blanks after it. */
  public static Verified verifyDocument(Cards cards, byte[] document) throws VerifyException {
    return verifyDocument(cards, document, false, DEFAULT_USER_ID_CHARSET);
  }

  /** As {@link #verifyDocument(Cards, byte[])}; lenient accepts the looser older forms. */
  public static Verified verifyDocument(
      Cards cards, byte[] document, boolean lenient, Charset userIdCharset) throws VerifyException {
    Native.Scratch scratch = Native.Scratch.ofThisThread();
    Memory copy = scratch.input(document);
    Memory info = scratch.info;
    int status =
        Native.velix_verify_document(
            cards.handle(), copy, document.length, lenient ? Native.LENIENT : 0, info);
    Native.check(status, Integer.toUnsignedLong(info.getInt(Native.INFO_SERIAL)));
    long text = Pointer.nativeValue(info.getPointer(Native.INFO_TEXT));
    int start = (int) (text - Pointer.nativeValue(copy));
    int end = start + (int) info.getLong(Native.INFO_TEXT_LENGTH);
    return new Verified(
        signer(info, userIdCharset),
        Arrays.copyOfRange(document, start, end),
        info.getLong(Native.INFO_CONSUMED));
  }

  /** Checks a detached signature over data held in memory. */
  public static Signer verifyDetached(Cards cards, byte[] signature, byte[] data)
      throws VerifyException {
    try {
      return verifyDetached(cards, signature, new java.io.ByteArrayInputStream(data));
    } catch (IOException e) {
      throw new IllegalStateException(e);  // a byte array cannot fail to be read
    }
  }

  /** Checks a detached signature over data read from a stream in pieces. */
  public static Signer verifyDetached(Cards cards, byte[] signature, InputStream data)
      throws VerifyException, IOException {
    Memory out = new Memory(Native.POINTER_SIZE);
    Native.check(Native.velix_detached_begin(signature, signature.length, out), 0);
    Pointer check = out.getPointer(0);
    try {
      byte[] piece = new byte[CHUNK];
      for (int n; (n = data.read(piece)) > 0; ) {
        Native.check(Native.velix_detached_update(check, piece, n), 0);
      }
    } catch (VerifyException | IOException | RuntimeException e) {
      Native.velix_detached_free(check);
      throw e;
    }
    Memory info = Native.signerInfo();
    Native.check(
        Native.velix_detached_finish(check, cards.handle(), info),
        Integer.toUnsignedLong(info.getInt(Native.INFO_SERIAL)));
    return signer(info, DEFAULT_USER_ID_CHARSET);
  }

  /** The 10 bytes of a digest prefix written as 20 hex digits. */
  public static byte[] parsePrefix(String hex) throws VerifyException {
    byte[] prefix = new byte[10];
    byte[] text = (hex + "\0").getBytes(StandardCharsets.US_ASCII);
    Native.check(Native.velix_parse_prefix(text, prefix), 0);
    return prefix;
  }

  /** Checks the AUTH line that ends a verified document's text. */
  public static AuthLine checkAuthLine(String prefix, byte[] text, long serial)
      throws VerifyException {
    Memory keyType = new Memory(4);
    Memory lineStart = new Memory(8);
    Native.check(
        Native.velix_check_auth_line(
            parsePrefix(prefix), text, text.length, (int) serial, keyType, lineStart),
        serial);
    int start = (int) lineStart.getLong(0);
    return new AuthLine(
        AuthLine.KeyType.values()[keyType.getInt(0)], start, Arrays.copyOf(text, start));
  }

  public static String libraryVersion() {
    return Native.velix_verify_version().getString(0);
  }

  private static Signer signer(Memory info, Charset userIdCharset) {
    byte[] userId = info.getByteArray(Native.INFO_USER_ID, Native.USER_ID_SIZE);
    int length = 0;
    while (length < userId.length && userId[length] != 0) length++;
    return new Signer(
        Integer.toUnsignedLong(info.getInt(Native.INFO_SERIAL)),
        new String(userId, 0, length, userIdCharset),
        Instant.ofEpochSecond(Integer.toUnsignedLong(info.getInt(Native.INFO_SIGNED_AT))),
        info.getInt(Native.INFO_MODULUS_BITS));
  }
}

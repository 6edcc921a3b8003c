package org.velix.verify;

import com.sun.jna.Memory;
import com.sun.jna.Pointer;
import com.sun.jna.ptr.IntByReference;
import com.sun.jna.ptr.PointerByReference;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.Charset;
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
    Memory copy = Native.copy(document);
    Native.SignerInfo info = new Native.SignerInfo();
    int status =
        Native.LIB.velix_verify_document(
            cards.handle(), copy, document.length, lenient ? Native.LENIENT : 0, info);
    Native.check(status, Integer.toUnsignedLong(info.serial));
    int start = (int) (Pointer.nativeValue(info.text) - Pointer.nativeValue(copy));
    byte[] text = Arrays.copyOfRange(document, start, start + (int) info.text_length);
    return new Verified(signer(info, userIdCharset), text, info.consumed);
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
    PointerByReference out = new PointerByReference();
    Native.check(Native.LIB.velix_detached_begin(signature, signature.length, out), 0);
    Pointer check = out.getValue();
    try {
      byte[] piece = new byte[CHUNK];
      for (int n; (n = data.read(piece)) > 0; ) {
        Native.check(Native.LIB.velix_detached_update(check, piece, n), 0);
      }
    } catch (VerifyException | IOException | RuntimeException e) {
      Native.LIB.velix_detached_free(check);
      throw e;
    }
    Native.SignerInfo info = new Native.SignerInfo();
    Native.check(
        Native.LIB.velix_detached_finish(check, cards.handle(), info),
        Integer.toUnsignedLong(info.serial));
    return signer(info, DEFAULT_USER_ID_CHARSET);
  }

  /** The 10 bytes of a digest prefix written as 20 hex digits. */
  public static byte[] parsePrefix(String hex) throws VerifyException {
    byte[] prefix = new byte[10];
    Native.check(Native.LIB.velix_parse_prefix(hex, prefix), 0);
    return prefix;
  }

  /** Checks the AUTH line that ends a verified document's text. */
  public static AuthLine checkAuthLine(String prefix, byte[] text, long serial)
      throws VerifyException {
    IntByReference keyType = new IntByReference();
    Native.LongRef lineStart = new Native.LongRef();
    Native.check(
        Native.LIB.velix_check_auth_line(
            parsePrefix(prefix), text, text.length, (int) serial, keyType, lineStart),
        serial);
    int start = (int) lineStart.getValue();
    return new AuthLine(
        AuthLine.KeyType.values()[keyType.getValue()], start, Arrays.copyOf(text, start));
  }

  public static String libraryVersion() {
    return Native.LIB.velix_verify_version();
  }

  private static Signer signer(Native.SignerInfo info, Charset userIdCharset) {
    int length = 0;
    while (length < info.user_id.length && info.user_id[length] != 0) length++;
    return new Signer(
        Integer.toUnsignedLong(info.serial),
        new String(info.user_id, 0, length, userIdCharset),
        Instant.ofEpochSecond(Integer.toUnsignedLong(info.signed_at)),
        info.modulus_bits);
  }
}

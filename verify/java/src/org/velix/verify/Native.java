package org.velix.verify;

import com.sun.jna.Memory;
import com.sun.jna.Pointer;

/**
 * The C library through JNA's direct mapping (the cheapest call JNA makes), in velixverify.h's
 * words. velix_signer_info is read from native memory by offset.
 */
final class Native {
  // The library's major version: the one whose structures this mirrors. The
  // system property or VELIXVERIFY_LIBRARY names one outside the loader's path.
  static final String LIBRARY =
      System.getProperty(
          "velixverify.library",
          System.getenv().getOrDefault("VELIXVERIFY_LIBRARY", "libvelixverify.so.1"));

  static {
    com.sun.jna.Native.register(LIBRARY);
  }

  static final int LENIENT = 0x1;
  static final int CARDS_LATER_WINS = 0x2;

  /** velix_signer_info on 64-bit Linux: its size and where its fields lie. */
  static final int INFO_SIZE = 64;
  static final int INFO_SERIAL = 0;
  static final int INFO_USER_ID = 4;
  static final int USER_ID_SIZE = 24;
  static final int INFO_SIGNED_AT = 28;
  static final int INFO_MODULUS_BITS = 32;
  static final int INFO_TEXT = 40;
  static final int INFO_TEXT_LENGTH = 48;
  static final int INFO_CONSUMED = 56;
  static final int POINTER_SIZE = 8;

  private Native() {}

  static native Pointer velix_status_text(int status);

  static native Pointer velix_verify_version();

  static native int velix_cards_load(Pointer text, long length, int flags, Pointer cards);

  static native void velix_cards_free(Pointer cards);

  static native long velix_cards_count(Pointer cards);

  static native int velix_verify_document(
      Pointer cards, Pointer document, long length, int flags, Pointer info);

  static native int velix_detached_begin(byte[] signature, long length, Pointer check);

  static native int velix_detached_update(Pointer check, byte[] data, long length);

  static native int velix_detached_finish(Pointer check, Pointer cards, Pointer info);

  static native void velix_detached_free(Pointer check);

  static native int velix_parse_prefix(byte[] hex, byte[] prefix);

  static native int velix_check_auth_line(
      byte[] prefix, byte[] text, long length, int serial, Pointer keyType, Pointer lineStart);

  /** A zeroed velix_signer_info. */
  static Memory signerInfo() {
    Memory info = new Memory(INFO_SIZE);
    info.clear();
    return info;
  }

  /**
   * Each thread's native memory for the document checks, kept between calls: allocating it anew
   * for every document would cost more than the call into the library.
   */
  static final class Scratch {
    private static final ThreadLocal<Scratch> OF_THREAD = ThreadLocal.withInitial(Scratch::new);
    final Memory info = new Memory(INFO_SIZE);
    private Memory input = new Memory(4096);

    static Scratch ofThisThread() {
      return OF_THREAD.get();
    }

    /** The bytes copied into this thread's input memory (grown when they do not fit). */
    Memory input(byte[] bytes) {
      if (input.size() < bytes.length) input = new Memory(Math.max(bytes.length, 2 * input.size()));
      input.write(0, bytes, 0, bytes.length);
      info.clear();
      return input;
    }
  }

  /** A copy of bytes in native memory, so that pointers into it can be turned into offsets. */
  static Memory copy(byte[] bytes) {
    Memory memory = new Memory(Math.max(1, bytes.length));
    memory.write(0, bytes, 0, bytes.length);
    return memory;
  }

  static void check(int status, long serial) throws VerifyException {
    if (status != 0) {
      throw VerifyException.of(Status.of(status), velix_status_text(status).getString(0), serial);
    }
  }
}

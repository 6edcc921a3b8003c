package org.velix.verify;

import com.sun.jna.Library;
import com.sun.jna.Memory;
import com.sun.jna.Pointer;
import com.sun.jna.Structure;
import com.sun.jna.ptr.IntByReference;
import com.sun.jna.ptr.PointerByReference;

/** The C library through JNA: its calls, in velixverify.h's words. */
interface Native extends Library {
  // The library's major version: the one whose structures this mirrors. The
  // system property or VELIXVERIFY_LIBRARY names one outside the loader's path.
  String LIBRARY =
      System.getProperty(
          "velixverify.library",
          System.getenv().getOrDefault("VELIXVERIFY_LIBRARY", "libvelixverify.so.2"));
  Native LIB = com.sun.jna.Native.load(LIBRARY, Native.class);

  int LENIENT = 0x1;
  int CARDS_LATER_WINS = 0x2;

  /** velix_signer_info. */
  @Structure.FieldOrder({
    "serial", "user_id", "signed_at", "modulus_bits", "text", "text_length", "consumed"
  })
  class SignerInfo extends Structure {
    public int serial;
    public byte[] user_id = new byte[24];
    public int signed_at;
    public int modulus_bits;
    public Pointer text;
    public long text_length;
    public long consumed;
  }

  String velix_status_text(int status);

  String velix_verify_version();

  int velix_cards_load(Pointer text, long length, int flags, PointerByReference cards);

  void velix_cards_free(Pointer cards);

  long velix_cards_count(Pointer cards);

  int velix_verify_document(Pointer cards, Pointer document, long length, int flags, SignerInfo info);

  int velix_detached_begin(byte[] signature, long length, PointerByReference check);

  int velix_detached_update(Pointer check, byte[] data, long length);

  int velix_detached_finish(Pointer check, Pointer cards, SignerInfo info);

  void velix_detached_free(Pointer check);

  int velix_parse_prefix(String hex, byte[] prefix);

  int velix_check_auth_line(
      byte[] prefix, byte[] text, long length, int serial, IntByReference keyType, LongRef lineStart);

  /** A size_t out-parameter (64-bit Linux). */
  class LongRef extends com.sun.jna.ptr.LongByReference {}

  /** A copy of bytes in native memory, so that pointers into it can be turned into offsets. */
  static Memory copy(byte[] bytes) {
    Memory memory = new Memory(Math.max(1, bytes.length));
    memory.write(0, bytes, 0, bytes.length);
    return memory;
  }

  static void check(int status, long serial) throws VerifyException {
    if (status != 0) {
      throw new VerifyException(Status.of(status), LIB.velix_status_text(status), serial);
    }
  }
}

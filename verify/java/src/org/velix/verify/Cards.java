package org.velix.verify;

import com.sun.jna.Memory;
import com.sun.jna.Pointer;

/**
 * A card collection (pubkeys.key, Public.iks), read once and then shared by any number of threads.
 * Cards are as trustworthy as the place they were read from: the server's own files, never what a
 * sender supplies.
 */
public final class Cards implements AutoCloseable {
  private Pointer handle;

  private Cards(Pointer handle) {
    this.handle = handle;
  }

  /** Reads the cards; two of one serial are refused (DUPLICATE_SERIAL). */
  public static Cards load(byte[] text) throws VerifyException {
    return load(text, false);
  }

  /** As {@link #load(byte[])}; laterWins lets a later card replace an earlier one of its serial. */
  public static Cards load(byte[] text, boolean laterWins) throws VerifyException {
    Memory copy = Native.copy(text);
    Memory out = new Memory(Native.POINTER_SIZE);
    Native.check(
        Native.velix_cards_load(copy, text.length, laterWins ? Native.CARDS_LATER_WINS : 0, out), 0);
    return new Cards(out.getPointer(0));
  }

  public synchronized int size() {
    return (int) Native.velix_cards_count(handle());
  }

  synchronized Pointer handle() {
    if (handle == null) throw new IllegalStateException("the card collection is closed");
    return handle;
  }

  @Override
  public synchronized void close() {
    if (handle != null) {
      Native.velix_cards_free(handle);
      handle = null;
    }
  }
}

package org.velix.verify;

/** A matching AUTH line: the key type, where the line starts, and the message before it. */
public record AuthLine(KeyType keyType, int lineStart, byte[] message) {
  /** Which kind of key the AUTH line says signed. */
  public enum KeyType {
    FILE,
    TOKEN
  }
}

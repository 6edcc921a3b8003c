package org.velix.verify;

/**
 * A check that failed: {@link #status()} says why, {@link #serial()} is the signing key's serial
 * when the signature was read that far, else 0.
 */
public class VerifyException extends Exception {
  private static final long serialVersionUID = 1L;
  private final Status status;
  private final long serial;

  public VerifyException(Status status, String message, long serial) {
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
}

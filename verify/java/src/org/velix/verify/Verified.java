package org.velix.verify;

/**
 * A verified document: its signer, exactly the text that was signed (the AUTH line included), and
 * how many input bytes the document took.
 */
public record Verified(Signer signer, byte[] text, long consumed) {}

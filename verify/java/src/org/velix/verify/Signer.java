package org.velix.verify;

import java.time.Instant;

/** Who signed: the key's serial, the user ID of its card, the signing time, the key's size. */
public record Signer(long serial, String userId, Instant signedAt, int keyBits) {}

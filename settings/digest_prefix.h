// The 10-byte prefix of the AUTH digest: a deployment secret, fixed at build
// time (CMake cache variable VELIX_DIGEST_PREFIX, 20 hex digits). A service that
// checks AUTH lines must use the same value.
#pragma once

#include <cstdint>

// Writes the prefix: its 8-byte part followed by its 2-byte part.
void assemble_digest_prefix(uint8_t out[10]);
// True while the build uses the default prefix the project publishes, with
// which anyone can compute valid AUTH lines for the installation.
bool digest_prefix_is_published_default();

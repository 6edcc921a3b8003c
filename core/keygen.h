// RSA key-pair generation for the builtin engine: a sequential prime search
// from a random start, drawing from the engine's random pool.
#pragma once

#include <cstdint>

#include "core/bignum.h"
#include "core/random_pool.h"
#include "core/rsa.h"

constexpr int KEYGEN_ERR_NO_PRIME = 1025;  // the search passed its upper bound
constexpr uint32_t kKeygenPublicExponent = 65537;

// Finds a probable prime in [low, high] on the sequence start, start + step, ...
// from a random start with (start - 1) divisible by step. modulus_bits sizes
// the random draw. Returns 0 with the prime, KEYGEN_ERR_NO_PRIME, or
// RANDOM_ERR_NEEDS_SEED.
int generate_prime(BigNum& prime, const BigNum& low, const BigNum& high, uint32_t step, int modulus_bits,
                   RandomPool* pool);

// Generates a key pair with public exponent 65537 whose modulus has exactly
// bits bits (up to 2048). Returns 0, KEYGEN_ERR_NO_PRIME, RANDOM_ERR_NEEDS_SEED,
// or -1 when memory fails. Both records are cleared on failure.
int rsa_generate_keys(int bits, RandomPool* pool, RsaPublicKey* public_key, RsaPrivateKey* private_key);

// True when a has no small factor and 2^a mod a = 2.
bool is_probable_prime(const BigNum& a, BnContext& ctx);

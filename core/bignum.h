// Big numbers for the RSA code, key checks and key generation: a small
// wrapper over the crypto library's multi-precision integers.
//
// Every number is cleared when it is released, and so is the scratch space of
// a BnContext. Numbers marked secret (set_secret) take the constant-time
// paths of division and exponentiation. Operations return false on failure
// (memory, division by zero, no inverse) and leave their result undefined.
#pragma once

#include <cstddef>
#include <cstdint>

struct bignum_st;
struct bignum_ctx;
struct bn_mont_ctx_st;

// Scratch space for a computation; its temporaries are cleared on release.
class BnContext {
 public:
  BnContext();
  ~BnContext();
  BnContext(const BnContext&) = delete;
  BnContext& operator=(const BnContext&) = delete;
  bool ok() const { return ctx_ != nullptr; }
  bignum_ctx* get() { return ctx_; }

 private:
  bignum_ctx* ctx_;
};

class BigNum {
 public:
  BigNum();  // zero
  explicit BigNum(uint64_t value);
  BigNum(const BigNum& other);
  BigNum& operator=(const BigNum& other);
  BigNum(BigNum&& other) noexcept;
  BigNum& operator=(BigNum&& other) noexcept;
  ~BigNum();

  // Reads a big-endian number; leading zero bytes are allowed.
  static BigNum from_bytes(const uint8_t* data, size_t length);
  // Writes the number big-endian, right-aligned in width bytes with leading
  // zeros; false (and nothing written) when it needs more than width bytes.
  bool to_bytes(uint8_t* out, size_t width) const;

  bool ok() const { return bn_ != nullptr; }  // allocation succeeded
  int bits() const;                            // significant bits, 0 for zero
  size_t byte_length() const;
  bool is_zero() const;
  bool is_one() const;
  bool is_odd() const;
  bool is_negative() const;
  int compare(const BigNum& other) const;  // -1, 0 or 1
  bool set_word(uint64_t value);
  bool set_bit(int bit);
  bool add_word(uint32_t value);
  bool sub_word(uint32_t value);
  // The remainder modulo a small non-zero number; 0xffffffff on failure.
  uint32_t mod_word(uint32_t divisor) const;
  // Marks the number as secret: it takes the constant-time code paths.
  void set_secret();

  bignum_st* get() const { return bn_; }

 private:
  bignum_st* bn_;
};

// Montgomery form of an odd modulus, kept with an open key so that repeated
// exponentiations do not rebuild it.
class MontContext {
 public:
  MontContext();
  ~MontContext();
  MontContext(const MontContext&) = delete;
  MontContext& operator=(const MontContext&) = delete;
  // Prepares the context for an odd modulus; false for an even one.
  bool init(const BigNum& modulus, BnContext& ctx);
  bn_mont_ctx_st* get() const { return mont_; }

 private:
  bn_mont_ctx_st* mont_;
};

namespace bn {

bool add(BigNum& r, const BigNum& a, const BigNum& b);
bool sub(BigNum& r, const BigNum& a, const BigNum& b);  // may go negative
bool mul(BigNum& r, const BigNum& a, const BigNum& b, BnContext& ctx);
// r = a mod m, 0 <= r < m.
bool mod(BigNum& r, const BigNum& a, const BigNum& m, BnContext& ctx);
// q = a / d rounded towards zero, r = a mod d.
bool div(BigNum& q, BigNum& r, const BigNum& a, const BigNum& d, BnContext& ctx);
bool mod_mul(BigNum& r, const BigNum& a, const BigNum& b, const BigNum& m, BnContext& ctx);
// r = a^e mod m for public exponents (variable time).
bool mod_exp_public(BigNum& r, const BigNum& a, const BigNum& e, const BigNum& m, BnContext& ctx);
// r = a^e mod m in constant time for secret exponents or moduli; m must be
// odd. mont may be null or a context prepared for m.
bool mod_exp_secret(BigNum& r, const BigNum& a, const BigNum& e, const BigNum& m,
                    const MontContext* mont, BnContext& ctx);
// Two independent constant-time exponentiations computed together, which
// is faster than two calls on processors with wide vector units.
bool mod_exp_secret_x2(BigNum& r1, const BigNum& a1, const BigNum& e1, const BigNum& m1,
                       const MontContext& mont1, BigNum& r2, const BigNum& a2, const BigNum& e2,
                       const BigNum& m2, const MontContext& mont2, BnContext& ctx);
bool gcd(BigNum& r, const BigNum& a, const BigNum& b, BnContext& ctx);
// r = a^-1 mod m; false when a has no inverse modulo m.
bool mod_inverse(BigNum& r, const BigNum& a, const BigNum& m, BnContext& ctx);

}  // namespace bn

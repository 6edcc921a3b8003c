#include "core/rsa.h"

#include <cstring>
#include <initializer_list>

#include "core/crypto.h"

namespace {

constexpr size_t kPkcs1Overhead = 11;  // 00 01, at least 8 bytes FF, 00

BigNum secret_number(const uint8_t* data, size_t length) {
  BigNum number = BigNum::from_bytes(data, length);
  number.set_secret();
  return number;
}

// A prime usable as a Montgomery modulus: odd and at least 3.
bool usable_prime(const BigNum& prime) { return prime.ok() && prime.is_odd() && !prime.is_one(); }

bool valid_bits(uint32_t bits) { return bits > 0 && bits <= kRsaMaxModulusBits; }

}  // namespace

bool RsaCrtContext::init(const RsaPrivateKey& key) {
  ready_ = false;
  if (!valid_bits(key.bits)) return false;
  n_ = BigNum::from_bytes(key.modulus, sizeof key.modulus);
  p_ = secret_number(key.prime[0], sizeof key.prime[0]);
  q_ = secret_number(key.prime[1], sizeof key.prime[1]);
  dp_ = secret_number(key.prime_exponent[0], sizeof key.prime_exponent[0]);
  dq_ = secret_number(key.prime_exponent[1], sizeof key.prime_exponent[1]);
  coefficient_ = secret_number(key.coefficient, sizeof key.coefficient);
  if (!n_.ok() || n_.is_zero() || n_.bits() > static_cast<int>(key.bits) || !usable_prime(p_) || !usable_prime(q_) || !dp_.ok() || !dq_.ok() ||
      !coefficient_.ok())
    return false;
  BnContext ctx;
  ready_ = mont_p_.init(p_, ctx) && mont_q_.init(q_, ctx);
  return ready_;
}

int rsa_private_block(const uint8_t* in, size_t length, const RsaPrivateKey& key, const RsaCrtContext& crt,
                      uint8_t* out) {
  const size_t k = rsa_modulus_bytes(key.bits);
  if (!crt.ready_ || !valid_bits(key.bits)) return RSA_ERR_DATA_RANGE;
  BnContext ctx;
  const BigNum c = BigNum::from_bytes(in, length);
  if (!ctx.ok() || !c.ok() || c.compare(crt.n_) >= 0) return RSA_ERR_DATA_RANGE;

  BigNum cp, cq, mp, mq, t, m;
  for (BigNum* secret : {&cp, &cq, &mp, &mq, &t, &m}) secret->set_secret();
  const BigNum& p = crt.p_;
  const BigNum& q = crt.q_;
  bool ok = bn::mod(cp, c, p, ctx) && bn::mod(cq, c, q, ctx) &&
            bn::mod_exp_secret_x2(mp, cp, crt.dp_, p, crt.mont_p_, mq, cq, crt.dq_, q, crt.mont_q_, ctx);
  // t = (mP - mQ) mod p, kept non-negative.
  if (ok && mp.compare(mq) >= 0) {
    ok = bn::sub(t, mp, mq);
  } else if (ok) {
    ok = bn::sub(t, mq, mp) && bn::mod(t, t, p, ctx) && bn::sub(t, p, t);
  }
  ok = ok && bn::mod_mul(t, t, crt.coefficient_, p, ctx) && bn::mul(m, t, q, ctx) && bn::add(m, m, mq) &&
       m.to_bytes(out, k);
  return ok ? 0 : RSA_ERR_DATA_RANGE;
}

int rsa_private_block(const uint8_t* in, size_t length, const RsaPrivateKey& key, uint8_t* out) {
  RsaCrtContext crt;
  if (!crt.init(key)) return RSA_ERR_DATA_RANGE;
  return rsa_private_block(in, length, key, crt, out);
}

int rsa_sign_pkcs1(const uint8_t* in, size_t length, const RsaPrivateKey& key, const RsaCrtContext& crt,
                   uint8_t* out) {
  const size_t k = rsa_modulus_bytes(key.bits);
  if (!valid_bits(key.bits) || length + kPkcs1Overhead > k) return RSA_ERR_DATA_LEN;
  uint8_t block[kRsaMaxModulusBytes];
  block[0] = 0x00;
  block[1] = 0x01;
  const size_t padding = k - length - 3;
  std::memset(block + 2, 0xFF, padding);
  block[2 + padding] = 0x00;
  std::memcpy(block + 3 + padding, in, length);
  const int result = rsa_private_block(block, k, key, crt, out);
  secure_wipe(block, sizeof block);
  return result;
}

int rsa_sign_pkcs1(const uint8_t* in, size_t length, const RsaPrivateKey& key, uint8_t* out) {
  if (length + kPkcs1Overhead > rsa_modulus_bytes(key.bits)) return RSA_ERR_DATA_LEN;
  RsaCrtContext crt;
  if (!crt.init(key)) return RSA_ERR_DATA_RANGE;
  return rsa_sign_pkcs1(in, length, key, crt, out);
}

int rsa_public_block(const uint8_t* in, size_t length, const RsaPublicKey& key, uint8_t* out) {
  if (!valid_bits(key.bits)) return RSA_ERR_DATA_RANGE;
  BnContext ctx;
  const BigNum n = BigNum::from_bytes(key.modulus, sizeof key.modulus);
  const BigNum e = BigNum::from_bytes(key.exponent, sizeof key.exponent);
  const BigNum c = BigNum::from_bytes(in, length);
  BigNum m;
  if (!ctx.ok() || !n.ok() || n.is_zero() || !c.ok() || c.compare(n) >= 0) return RSA_ERR_DATA_RANGE;
  const bool ok = bn::mod_exp_public(m, c, e, n, ctx) && m.to_bytes(out, rsa_modulus_bytes(key.bits));
  return ok ? 0 : RSA_ERR_DATA_RANGE;
}

int rsa_check_private_key(const RsaPrivateKey& key) {
  BnContext ctx;
  const BigNum n = BigNum::from_bytes(key.modulus, sizeof key.modulus);
  const BigNum p = secret_number(key.prime[0], sizeof key.prime[0]);
  const BigNum q = secret_number(key.prime[1], sizeof key.prime[1]);
  BigNum product;
  if (!bn::mul(product, p, q, ctx) || !n.ok()) return -1;
  return product.compare(n) == 0 ? 0 : -1;
}

int rsa_compute_prime_exponents(RsaPrivateKey& key) {
  BnContext ctx;
  const BigNum d = secret_number(key.exponent, sizeof key.exponent);
  for (int i = 0; i < 2; ++i) {
    BigNum prime_minus_one = secret_number(key.prime[i], sizeof key.prime[i]);
    BigNum exponent;
    exponent.set_secret();
    if (!prime_minus_one.ok() || prime_minus_one.bits() < 2 || !prime_minus_one.sub_word(1) ||
        !bn::mod(exponent, d, prime_minus_one, ctx) ||
        !exponent.to_bytes(key.prime_exponent[i], sizeof key.prime_exponent[i]))
      return -1;
  }
  return 0;
}

#include "core/keygen.h"

#include <array>
#include <cstring>
#include <vector>

#include "core/crypto.h"

namespace {

constexpr int KEYGEN_ERR_MEMORY = -1;

// Odd primes below this bound are tried as divisors before the Fermat test.
// Only the speed changes: a candidate with such a factor is not prime, so the
// search still stops at the first candidate that passes the Fermat test.
constexpr int kSieveBoundBits = 14;
constexpr uint32_t kSieveBound = 1u << kSieveBoundBits;

const std::vector<uint32_t>& small_primes() {
  static const std::vector<uint32_t> primes = [] {
    std::vector<bool> composite(kSieveBound, false);
    std::vector<uint32_t> found;
    for (uint32_t i = 3; i < kSieveBound; i += 2) {
      if (composite[i]) continue;
      found.push_back(i);
      for (uint64_t j = static_cast<uint64_t>(i) * i; j < kSieveBound; j += 2 * i) composite[j] = true;
    }
    return found;
  }();
  return primes;
}

// Remainders of the current candidate modulo every small prime, moved along
// with the candidate so that each step costs additions only.
// Used only for candidates above every prime of the table, which a prime
// candidate can then never be divisible by.
class SmallFactorSieve {
 public:
  bool init(const BigNum& a) {
    if (a.bits() <= kSieveBoundBits) return true;  // a small search: the plain test decides
    const auto& primes = small_primes();
    remainders_.resize(primes.size());
    for (size_t i = 0; i < primes.size(); ++i) {
      remainders_[i] = a.mod_word(primes[i]);
      if (remainders_[i] == 0xffffffffu) return false;
    }
    return true;
  }
  void advance(uint32_t step) {
    const auto& primes = small_primes();
    for (size_t i = 0; i < remainders_.size(); ++i) remainders_[i] = (remainders_[i] + step) % primes[i];
  }
  bool has_small_factor() const {
    for (uint32_t r : remainders_)
      if (r == 0) return true;
    return false;
  }

 private:
  std::vector<uint32_t> remainders_;
};

bool fermat_base_two(const BigNum& a, BnContext& ctx) {
  BigNum result;
  const BigNum two(2);
  return bn::mod_exp_public(result, two, a, a, ctx) && result.compare(two) == 0;
}

// 2^exponent as a big number.
bool power_of_two(BigNum& r, int exponent) { return r.set_word(0) && r.set_bit(exponent); }

// Draws primes in [3 * 2^(bits - 2), 2^bits - 1] until gcd(prime - 1, e) = 1.
int find_prime(BigNum& prime, int prime_bits, int modulus_bits, const BigNum& e, RandomPool* pool,
               BnContext& ctx) {
  BigNum low, quarter, high;
  if (!power_of_two(low, prime_bits - 1) || !power_of_two(quarter, prime_bits - 2) ||
      !bn::add(low, low, quarter) || !power_of_two(high, prime_bits) || !high.sub_word(1))
    return KEYGEN_ERR_MEMORY;
  for (;;) {
    const int rc = generate_prime(prime, low, high, 2, modulus_bits, pool);
    if (rc != 0) return rc;
    BigNum minus_one(prime), divisor;
    if (!minus_one.sub_word(1) || !bn::gcd(divisor, minus_one, e, ctx)) return KEYGEN_ERR_MEMORY;
    if (divisor.is_one()) return 0;
  }
}

}  // namespace

bool is_probable_prime(const BigNum& a, BnContext& ctx) {
  for (uint32_t p : {3u, 5u, 7u, 11u})
    if (a.mod_word(p) == 0) return false;
  return fermat_base_two(a, ctx);
}

int generate_prime(BigNum& prime, const BigNum& low, const BigNum& high, uint32_t step, int modulus_bits,
                   RandomPool* pool) {
  BnContext ctx;
  if (!ctx.ok()) return KEYGEN_ERR_MEMORY;
  const int words = ((modulus_bits + 31) / 32 + 1) / 2;
  std::vector<uint8_t> random(static_cast<size_t>(4 * words));
  const int rc = random_generate(pool, random.data(), random.size());
  if (rc != 0) return rc;
  BigNum a = BigNum::from_bytes(random.data(), random.size());
  secure_wipe(random.data(), random.size());

  // a = low + (a mod (high - low + 1)), then a - 1 made divisible by step.
  BigNum span, limit(high);
  if (!bn::sub(span, high, low) || !span.add_word(1) || !bn::mod(a, a, span, ctx) || !bn::add(a, a, low))
    return KEYGEN_ERR_MEMORY;
  const uint32_t offset = a.mod_word(step);
  if (offset == 0xffffffffu || !a.sub_word(offset) || !a.add_word(1)) return KEYGEN_ERR_MEMORY;
  if (a.compare(low) < 0 && !a.add_word(step)) return KEYGEN_ERR_MEMORY;
  if (a.compare(high) > 0 && !a.sub_word(step)) return KEYGEN_ERR_MEMORY;
  if (!limit.sub_word(step)) return KEYGEN_ERR_MEMORY;  // the last candidate that may be stepped from

  SmallFactorSieve sieve;
  if (!sieve.init(a)) return KEYGEN_ERR_MEMORY;
  for (;;) {
    if (!sieve.has_small_factor() && is_probable_prime(a, ctx)) {
      prime = a;
      return prime.ok() ? 0 : KEYGEN_ERR_MEMORY;
    }
    if (a.compare(limit) > 0) return KEYGEN_ERR_NO_PRIME;
    if (!a.add_word(step)) return KEYGEN_ERR_MEMORY;
    sieve.advance(step);
  }
}

int rsa_generate_keys(int bits, RandomPool* pool, RsaPublicKey* public_key, RsaPrivateKey* private_key) {
  std::memset(public_key, 0, sizeof *public_key);
  std::memset(private_key, 0, sizeof *private_key);
  const int p_bits = (bits + 1) / 2;
  const int q_bits = bits - p_bits;
  BnContext ctx;
  BigNum e(kKeygenPublicExponent), p, q;
  if (!ctx.ok() || !e.ok()) return KEYGEN_ERR_MEMORY;
  p.set_secret();
  q.set_secret();
  int rc = find_prime(p, p_bits, bits, e, pool, ctx);
  // A second prime equal to the first would make n a square; draw again.
  while (rc == 0 && (rc = find_prime(q, q_bits, bits, e, pool, ctx)) == 0 && q.compare(p) == 0) {
  }
  if (rc != 0) return rc;
  if (p.compare(q) < 0) std::swap(p, q);

  BigNum n, coefficient, p1(p), q1(q), phi, d, dp, dq;
  for (BigNum* secret : {&coefficient, &p1, &q1, &phi, &d, &dp, &dq}) secret->set_secret();
  const bool ok = bn::mul(n, p, q, ctx) && bn::mod_inverse(coefficient, q, p, ctx) && p1.sub_word(1) &&
                  q1.sub_word(1) && bn::mul(phi, p1, q1, ctx) && bn::mod_inverse(d, e, phi, ctx) &&
                  bn::mod(dp, d, p1, ctx) && bn::mod(dq, d, q1, ctx) &&
                  n.to_bytes(public_key->modulus, sizeof public_key->modulus) &&
                  e.to_bytes(public_key->exponent, sizeof public_key->exponent) &&
                  n.to_bytes(private_key->modulus, sizeof private_key->modulus) &&
                  e.to_bytes(private_key->public_exponent, sizeof private_key->public_exponent) &&
                  d.to_bytes(private_key->exponent, sizeof private_key->exponent) &&
                  p.to_bytes(private_key->prime[0], kRsaMaxPrimeBytes) &&
                  q.to_bytes(private_key->prime[1], kRsaMaxPrimeBytes) &&
                  dp.to_bytes(private_key->prime_exponent[0], kRsaMaxPrimeBytes) &&
                  dq.to_bytes(private_key->prime_exponent[1], kRsaMaxPrimeBytes) &&
                  coefficient.to_bytes(private_key->coefficient, kRsaMaxPrimeBytes);
  if (!ok) {
    secure_wipe(private_key, sizeof *private_key);
    std::memset(public_key, 0, sizeof *public_key);
    return KEYGEN_ERR_MEMORY;
  }
  public_key->bits = private_key->bits = static_cast<uint32_t>(bits);
  return 0;
}

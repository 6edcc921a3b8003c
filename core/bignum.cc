#include "core/bignum.h"

#include <openssl/bn.h>

#include <utility>

BnContext::BnContext() : ctx_(BN_CTX_secure_new()) {}
// Numbers taken from a secure context are cleared when it is freed.
BnContext::~BnContext() { BN_CTX_free(ctx_); }

BigNum::BigNum() : bn_(BN_secure_new()) {}

BigNum::BigNum(uint64_t value) : BigNum() {
  if (bn_ != nullptr && BN_set_word(bn_, value) == 0) {
    BN_clear_free(bn_);
    bn_ = nullptr;
  }
}

BigNum::BigNum(const BigNum& other) : BigNum() {
  if (bn_ != nullptr && (other.bn_ == nullptr || BN_copy(bn_, other.bn_) == nullptr)) {
    BN_clear_free(bn_);
    bn_ = nullptr;
  }
}

BigNum& BigNum::operator=(const BigNum& other) {
  if (this != &other) {
    BigNum copy(other);
    std::swap(bn_, copy.bn_);
  }
  return *this;
}

BigNum::BigNum(BigNum&& other) noexcept : bn_(std::exchange(other.bn_, nullptr)) {}

BigNum& BigNum::operator=(BigNum&& other) noexcept {
  std::swap(bn_, other.bn_);
  return *this;
}

BigNum::~BigNum() { BN_clear_free(bn_); }

BigNum BigNum::from_bytes(const uint8_t* data, size_t length) {
  BigNum result;
  if (result.bn_ != nullptr && BN_bin2bn(data, static_cast<int>(length), result.bn_) == nullptr) {
    BN_clear_free(result.bn_);
    result.bn_ = nullptr;
  }
  return result;
}

bool BigNum::to_bytes(uint8_t* out, size_t width) const {
  if (bn_ == nullptr || BN_is_negative(bn_)) return false;
  return BN_bn2binpad(bn_, out, static_cast<int>(width)) == static_cast<int>(width);
}

int BigNum::bits() const { return bn_ != nullptr ? BN_num_bits(bn_) : 0; }
size_t BigNum::byte_length() const { return bn_ != nullptr ? static_cast<size_t>(BN_num_bytes(bn_)) : 0; }
bool BigNum::is_zero() const { return bn_ == nullptr || BN_is_zero(bn_); }
bool BigNum::is_one() const { return bn_ != nullptr && BN_is_one(bn_); }
bool BigNum::is_odd() const { return bn_ != nullptr && BN_is_odd(bn_); }
bool BigNum::is_negative() const { return bn_ != nullptr && BN_is_negative(bn_); }
int BigNum::compare(const BigNum& other) const { return BN_cmp(bn_, other.bn_); }
bool BigNum::set_word(uint64_t value) { return bn_ != nullptr && BN_set_word(bn_, value) != 0; }
bool BigNum::set_bit(int bit) { return bn_ != nullptr && BN_set_bit(bn_, bit) != 0; }
bool BigNum::add_word(uint32_t value) { return bn_ != nullptr && BN_add_word(bn_, value) != 0; }
bool BigNum::sub_word(uint32_t value) { return bn_ != nullptr && BN_sub_word(bn_, value) != 0; }

uint32_t BigNum::mod_word(uint32_t divisor) const {
  if (bn_ == nullptr || divisor == 0) return 0xffffffffu;
  const BN_ULONG r = BN_mod_word(bn_, divisor);
  return r == static_cast<BN_ULONG>(-1) ? 0xffffffffu : static_cast<uint32_t>(r);
}

void BigNum::set_secret() {
  if (bn_ != nullptr) BN_set_flags(bn_, BN_FLG_CONSTTIME);
}

MontContext::MontContext() : mont_(BN_MONT_CTX_new()) {}
MontContext::~MontContext() { BN_MONT_CTX_free(mont_); }

bool MontContext::init(const BigNum& modulus, BnContext& ctx) {
  if (mont_ == nullptr || !modulus.ok() || !ctx.ok() || !modulus.is_odd()) return false;
  return BN_MONT_CTX_set(mont_, modulus.get(), ctx.get()) != 0;
}

namespace bn {

namespace {
bool all_ok(const BigNum& a) { return a.ok(); }
template <typename... Rest>
bool all_ok(const BigNum& a, const Rest&... rest) {
  return a.ok() && all_ok(rest...);
}
}  // namespace

bool add(BigNum& r, const BigNum& a, const BigNum& b) {
  return all_ok(r, a, b) && BN_add(r.get(), a.get(), b.get()) != 0;
}

bool sub(BigNum& r, const BigNum& a, const BigNum& b) {
  return all_ok(r, a, b) && BN_sub(r.get(), a.get(), b.get()) != 0;
}

bool mul(BigNum& r, const BigNum& a, const BigNum& b, BnContext& ctx) {
  return all_ok(r, a, b) && ctx.ok() && BN_mul(r.get(), a.get(), b.get(), ctx.get()) != 0;
}

bool mod(BigNum& r, const BigNum& a, const BigNum& m, BnContext& ctx) {
  return all_ok(r, a, m) && ctx.ok() && !m.is_zero() && BN_nnmod(r.get(), a.get(), m.get(), ctx.get()) != 0;
}

bool div(BigNum& q, BigNum& r, const BigNum& a, const BigNum& d, BnContext& ctx) {
  return all_ok(q, r, a, d) && ctx.ok() && !d.is_zero() &&
         BN_div(q.get(), r.get(), a.get(), d.get(), ctx.get()) != 0;
}

bool mod_mul(BigNum& r, const BigNum& a, const BigNum& b, const BigNum& m, BnContext& ctx) {
  return all_ok(r, a, b, m) && ctx.ok() && !m.is_zero() &&
         BN_mod_mul(r.get(), a.get(), b.get(), m.get(), ctx.get()) != 0;
}

bool mod_exp_public(BigNum& r, const BigNum& a, const BigNum& e, const BigNum& m, BnContext& ctx) {
  return all_ok(r, a, e, m) && ctx.ok() && !m.is_zero() &&
         BN_mod_exp(r.get(), a.get(), e.get(), m.get(), ctx.get()) != 0;
}

bool mod_exp_secret(BigNum& r, const BigNum& a, const BigNum& e, const BigNum& m,
                    const MontContext* mont, BnContext& ctx) {
  if (!all_ok(r, a, e, m) || !ctx.ok() || !m.is_odd()) return false;
  return BN_mod_exp_mont_consttime(r.get(), a.get(), e.get(), m.get(), ctx.get(),
                                   mont != nullptr ? mont->get() : nullptr) != 0;
}

bool mod_exp_secret_x2(BigNum& r1, const BigNum& a1, const BigNum& e1, const BigNum& m1,
                       const MontContext& mont1, BigNum& r2, const BigNum& a2, const BigNum& e2,
                       const BigNum& m2, const MontContext& mont2, BnContext& ctx) {
  if (!all_ok(r1, a1, e1, m1, r2, a2, e2, m2) || !ctx.ok() || !m1.is_odd() || !m2.is_odd() ||
      mont1.get() == nullptr || mont2.get() == nullptr)
    return false;
  return BN_mod_exp_mont_consttime_x2(r1.get(), a1.get(), e1.get(), m1.get(), mont1.get(), r2.get(),
                                      a2.get(), e2.get(), m2.get(), mont2.get(), ctx.get()) != 0;
}

bool gcd(BigNum& r, const BigNum& a, const BigNum& b, BnContext& ctx) {
  return all_ok(r, a, b) && ctx.ok() && BN_gcd(r.get(), a.get(), b.get(), ctx.get()) != 0;
}

bool mod_inverse(BigNum& r, const BigNum& a, const BigNum& m, BnContext& ctx) {
  return all_ok(r, a, m) && ctx.ok() && !m.is_zero() &&
         BN_mod_inverse(r.get(), a.get(), m.get(), ctx.get()) != nullptr;
}

}  // namespace bn

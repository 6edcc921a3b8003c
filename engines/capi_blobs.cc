// ENGINE_CRYPTOAPI: container names and key blobs. The records hold
// big-endian numbers right-aligned in fixed fields; CryptoAPI blobs hold them
// little-endian, so each number is copied byte-reversed from the last bytes
// of its field.
#include <cstdio>
#include <cstring>

#include "engines/capi.h"

namespace {

constexpr uint8_t kPublicKeyBlob = 6;
constexpr uint8_t kPrivateKeyBlob = 7;
constexpr uint8_t kBlobVersion = 2;
constexpr uint32_t kAlgorithmRsaKeyExchange = 0xA400;  // CALG_RSA_KEYX
constexpr uint32_t kMagicPublic = 0x31415352;           // "RSA1"
constexpr uint32_t kMagicPrivate = 0x32415352;          // "RSA2"

void put_le32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The last `width` bytes of a big-endian field, byte-reversed, at `at`;
// returns the position after them.
template <size_t N>
uint8_t* put_reversed(uint8_t* at, const uint8_t (&field)[N], size_t width) {
  for (size_t i = 0; i < width; ++i) at[i] = field[N - 1 - i];
  return at + width;
}

// BLOBHEADER and RSAPUBKEY; returns the position of the modulus.
uint8_t* put_header(uint8_t* blob, uint8_t type, uint32_t magic, const KeyCertRecord& cert, size_t k) {
  blob[0] = type;
  blob[1] = kBlobVersion;
  blob[2] = blob[3] = 0;
  put_le32(blob + 4, kAlgorithmRsaKeyExchange);
  put_le32(blob + 8, magic);
  put_le32(blob + 12, static_cast<uint32_t>(8 * k));
  // The public exponent is a 32-bit field: the last 4 bytes of e.
  const uint8_t* e = cert.e + sizeof cert.e - 4;
  put_le32(blob + 16, static_cast<uint32_t>(e[0]) << 24 | static_cast<uint32_t>(e[1]) << 16 |
                          static_cast<uint32_t>(e[2]) << 8 | e[3]);
  return blob + 20;
}

}  // namespace

void capi_container_name(uint32_t serial, unsigned long counter, unsigned long thread_id,
                         char (&name)[kCapiContainerNameSize]) {
  std::snprintf(name, sizeof name, "morva-%lu-%lu%lu", static_cast<unsigned long>(serial), counter, thread_id);
}

size_t capi_modulus_bytes(const KeyCertRecord& cert) {
  if (cert.modulus_bits <= 0 || static_cast<uint32_t>(cert.modulus_bits) > kRsaMaxModulusBits) return 0;
  return rsa_modulus_bytes(static_cast<uint32_t>(cert.modulus_bits));
}

void capi_fill_public_blob(const KeyCertRecord& cert, size_t k, uint8_t* blob) {
  put_reversed(put_header(blob, kPublicKeyBlob, kMagicPublic, cert, k), cert.n, k);
}

void capi_fill_private_blob(const KeyCertRecord& cert, const RsaPrivateKey& key, size_t k, uint8_t* blob) {
  const size_t half = k / 2;
  uint8_t* at = put_header(blob, kPrivateKeyBlob, kMagicPrivate, cert, k);
  at = put_reversed(at, cert.n, k);
  at = put_reversed(at, cert.q, half);
  at = put_reversed(at, cert.p, half);
  at = put_reversed(at, key.prime_exponent[0], half);
  at = put_reversed(at, key.prime_exponent[1], half);
  at = put_reversed(at, cert.u, half);
  put_reversed(at, cert.d, k);
}

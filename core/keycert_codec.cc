#include "core/keycert_codec.h"

#include <cstring>

#include "core/crypto.h"
#include "core/idea_cfb.h"
#include "core/packets.h"

namespace {

constexpr int kAlgorithmRsa = 1;

// Owns the cipher context of one certificate and wipes it on every exit,
// aborts included.
class CertificateCipher {
 public:
  explicit CertificateCipher(const char* passphrase) : active_(idea_cfb_setup(&ctx_, passphrase)) {}
  ~CertificateCipher() { idea_cfb_clear(&ctx_); }
  CertificateCipher(const CertificateCipher&) = delete;
  CertificateCipher& operator=(const CertificateCipher&) = delete;

  bool active() const { return active_; }
  IdeaCfbContext* ctx() { return &ctx_; }

 private:
  IdeaCfbContext ctx_;
  bool active_;
};

uint16_t byte_sum(const uint8_t* bytes, int length) {
  uint16_t sum = 0;
  for (int i = 0; i < length; ++i) sum = static_cast<uint16_t>(sum + bytes[i]);
  return sum;
}

// Reads a bit count and checks that its value bytes fit the field.
int read_number_length(MemStream& body, int field_size, uint16_t* checksum) {
  uint8_t count[2];
  body.read(count, 2);
  if (checksum) *checksum = static_cast<uint16_t>(*checksum + count[0] + count[1]);
  const int bits = count[0] << 8 | count[1];
  const int bytes = (bits + 7) / 8;
  if (bytes == 0 || bytes > field_size) codec_abort(CORE_E_KEYLEN);
  return bits;
}

// Reads the value bytes right-aligned into the field, clearing what is before them.
uint8_t* read_number_value(MemStream& body, int bits, uint8_t* field, int field_size) {
  const int bytes = (bits + 7) / 8;
  std::memset(field, 0, field_size);
  uint8_t* value = field + field_size - bytes;
  body.read(value, bytes);
  return value;
}

void read_public_number(MemStream& body, uint8_t* field, int field_size, int* bits_out) {
  const int bits = read_number_length(body, field_size, nullptr);
  read_number_value(body, bits, field, field_size);
  if (bits_out) *bits_out = bits;
}

void read_secret_number(MemStream& body, uint8_t* field, int field_size, CertificateCipher& cipher,
                        uint16_t* checksum) {
  const int bits = read_number_length(body, field_size, checksum);
  uint8_t* value = read_number_value(body, bits, field, field_size);
  const int bytes = (bits + 7) / 8;
  if (cipher.active()) {
    idea_cfb_resync(cipher.ctx());
    idea_cfb_decipher(cipher.ctx(), value, bytes);
  }
  *checksum = static_cast<uint16_t>(*checksum + byte_sum(value, bytes));
}

// Writes the bit count of a number field; its value byte count goes to bytes_out.
void write_number_length(MemStream& body, const uint8_t* field, int field_size, int* bytes_out,
                         uint16_t* checksum) {
  const int bits = static_cast<int>(number_bits(field, field_size));
  const uint8_t count[2] = {static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
  body.write(count, 2);
  if (checksum) *checksum = static_cast<uint16_t>(*checksum + count[0] + count[1]);
  *bytes_out = (bits + 7) / 8;
}

void write_secret_number(MemStream& body, const uint8_t* field, int field_size, CertificateCipher& cipher,
                         uint16_t* checksum) {
  int bytes = 0;
  write_number_length(body, field, field_size, &bytes, checksum);
  if (bytes == 0) return;
  uint8_t value[256];
  std::memcpy(value, field + field_size - bytes, bytes);
  *checksum = static_cast<uint16_t>(*checksum + byte_sum(value, bytes));
  if (cipher.active()) {
    idea_cfb_resync(cipher.ctx());
    idea_cfb_encipher(cipher.ctx(), value, bytes);
  }
  try {
    body.write(value, bytes);
  } catch (...) {
    secure_wipe(value, sizeof value);
    throw;
  }
  secure_wipe(value, sizeof value);
}

}  // namespace

void read_key_certificate(MemStream& body, int packet_type, KeyCertRecord* cert, const char* passphrase) {
  CertificateCipher cipher(passphrase);
  cert->packet_type = static_cast<int16_t>(packet_type);
  cert->version = body.read_byte();
  cert->serial = body.read_be(4);
  cert->creation_time = body.read_be(4);
  cert->check_word = static_cast<uint16_t>(body.read_be(2));
  cert->algorithm = body.read_byte();
  if (cert->algorithm != kAlgorithmRsa) codec_abort(CORE_E_ALG);

  int modulus_bits = 0;
  read_public_number(body, cert->n, sizeof cert->n, &modulus_bits);
  cert->modulus_bits = static_cast<int16_t>(modulus_bits);
  read_public_number(body, cert->e, sizeof cert->e, nullptr);
  if (packet_type == kPacketPublicKey) return;

  const uint8_t protection = body.read_byte();
  if (protection == 1) {
    if (!cipher.active()) codec_abort(CORE_E_PASSPHRASE);
    uint8_t initial_block[kInitialBlockSize];
    body.read(initial_block, sizeof initial_block);
    idea_cfb_decipher(cipher.ctx(), initial_block, sizeof initial_block);
    secure_wipe(initial_block, sizeof initial_block);
  } else if (protection != 0) {
    codec_abort(CORE_E_ALG);
  }

  uint16_t checksum = 0;
  read_secret_number(body, cert->d, sizeof cert->d, cipher, &checksum);
  read_secret_number(body, cert->p, sizeof cert->p, cipher, &checksum);
  read_secret_number(body, cert->q, sizeof cert->q, cipher, &checksum);
  read_secret_number(body, cert->u, sizeof cert->u, cipher, &checksum);
  if (body.read_be(2) != checksum) codec_abort(CORE_E_PASSPHRASE);
}

void write_key_certificate(MemStream& body, const KeyCertRecord* cert, const char* passphrase,
                           const uint8_t initial_block[kInitialBlockSize]) {
  body.write_byte(static_cast<uint8_t>(cert->version));
  body.write_be(cert->serial, 4);
  body.write_be(cert->creation_time, 4);
  body.write_be(cert->check_word, 2);
  body.write_byte(static_cast<uint8_t>(cert->algorithm));
  write_number(body, cert->n, sizeof cert->n);
  write_number(body, cert->e, sizeof cert->e);
  if (cert->packet_type == kPacketPublicKey) return;

  CertificateCipher cipher(passphrase);
  body.write_byte(cipher.active() ? 1 : 0);
  if (cipher.active()) {
    uint8_t block[kInitialBlockSize];
    std::memcpy(block, initial_block, sizeof block);
    idea_cfb_encipher(cipher.ctx(), block, sizeof block);
    body.write(block, sizeof block);
  }
  uint16_t checksum = 0;
  write_secret_number(body, cert->d, sizeof cert->d, cipher, &checksum);
  write_secret_number(body, cert->p, sizeof cert->p, cipher, &checksum);
  write_secret_number(body, cert->q, sizeof cert->q, cipher, &checksum);
  write_secret_number(body, cert->u, sizeof cert->u, cipher, &checksum);
  body.write_be(checksum, 2);
}

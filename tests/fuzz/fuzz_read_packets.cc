// Key packet sequences from outside, read without and with a passphrase: the
// reader must stay inside its input, and a certificate it accepts must come
// back unchanged through the writer.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/key_packets.h"
#include "core/keycert_codec.h"

namespace {

void round_trip(const KeyCertRecord& cert, const char* passphrase) {
  std::vector<uint8_t> packets(4096);
  const uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const int n = write_packets(packets.data(), static_cast<int>(packets.size()), &cert, passphrase, block,
                              nullptr, nullptr);
  if (n <= 0) std::abort();
  KeyCertRecord again{};
  if (read_packets(packets.data(), n, &again, passphrase) != 0) std::abort();
  if (std::memcmp(again.n, cert.n, sizeof cert.n) || std::memcmp(again.d, cert.d, sizeof cert.d) ||
      std::memcmp(again.u, cert.u, sizeof cert.u) || again.serial != cert.serial)
    std::abort();
}

bool nonzero(const uint8_t* field, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (field[i]) return true;
  return false;
}

// A number read as zero (declared bits over zero bytes) is written back as an
// empty number, which the reader refuses; only non-zero keys round-trip.
bool all_numbers_nonzero(const KeyCertRecord& c) {
  return nonzero(c.n, sizeof c.n) && nonzero(c.e, sizeof c.e) && nonzero(c.d, sizeof c.d) &&
         nonzero(c.p, sizeof c.p) && nonzero(c.q, sizeof c.q) && nonzero(c.u, sizeof c.u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  std::vector<uint8_t> input(data, data + size);
  input.reserve(1);  // a valid pointer even for empty input
  for (const char* passphrase : {static_cast<const char*>(nullptr), "passphrase"}) {
    KeyCertRecord cert{};
    const int rc = read_packets(input.data(), static_cast<int>(size), &cert, passphrase);
    if (rc != 0 && (rc < -8 || rc > -4)) std::abort();  // only the packet and certificate codes
    // Certificates whose secret numbers are all present survive a round trip.
    if (rc == 0 && cert.packet_type == kPacketSecretKey && all_numbers_nonzero(cert))
      round_trip(cert, passphrase);
  }
  return 0;
}

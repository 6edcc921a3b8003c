#include "core/key_packets.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/crypto.h"
#include "core/keycert_codec.h"
#include "core/memstream.h"
#include "core/packets.h"

namespace {

constexpr uint8_t kTrustPublicKey = 0x87;
constexpr uint8_t kTrustUserId = 0x03;
constexpr int kScratchExtra = 2048;

// A scratch buffer for packet bodies, wiped when released: it holds secret numbers.
struct Scratch {
  explicit Scratch(size_t size) : data(new (std::nothrow) uint8_t[size]), size(size) {}
  ~Scratch() {
    if (data) secure_wipe(data.get(), size);
  }
  std::unique_ptr<uint8_t[]> data;
  size_t size;
};

}  // namespace

int read_packets(const uint8_t* data, int length, KeyCertRecord* cert, const char* passphrase) {
  if (data == nullptr || cert == nullptr || length < 0) return CORE_E_ARGS;
  return codec_call([&] {
    MemStream in = MemStream::for_reading(data, static_cast<size_t>(length));
    while (in.remaining() > 0) {
      const PacketHeader header = read_packet_header(in);
      const int type = header.type;
      const size_t body_length = header.length;
      if (type == kPacketSecretKey || type == kPacketPublicKey) {
        MemStream body = MemStream::for_reading(in.current(), body_length);
        read_key_certificate(body, type, cert, passphrase);
      }
      in.seek(static_cast<ptrdiff_t>(body_length), MemStream::kFromPosition);
    }
    return 0;
  });
}

int write_packets(uint8_t* out, int capacity, const KeyCertRecord* cert, const char* passphrase,
                  const uint8_t* initial_block, const char* user_id, PacketSpan* certificate) {
  if (out == nullptr || cert == nullptr || capacity < 0) return CORE_E_ARGS;
  Scratch scratch(static_cast<size_t>(capacity) + kScratchExtra);
  if (!scratch.data) return CORE_E_NOMEM;
  return codec_call([&] {
    MemStream stream = MemStream::for_writing(out, static_cast<size_t>(capacity));
    const bool is_public = cert->packet_type == kPacketPublicKey;
    const uint8_t zero_block[kInitialBlockSize] = {};

    MemStream body = MemStream::for_writing(scratch.data.get(), scratch.size);
    write_key_certificate(body, cert, passphrase, initial_block ? initial_block : zero_block);
    const size_t start = stream.position();
    write_packet(stream, is_public ? kPacketPublicKey : kPacketSecretKey, scratch.data.get(), body.position());
    if (certificate) *certificate = {static_cast<int>(start), static_cast<int>(stream.position() - start)};

    if (is_public) write_packet(stream, PACKET_TRUST, &kTrustPublicKey, 1);
    if (user_id) {
      write_packet(stream, PACKET_USER_ID, reinterpret_cast<const uint8_t*>(user_id), std::strlen(user_id));
      if (is_public) write_packet(stream, PACKET_TRUST, &kTrustUserId, 1);
    }
    return static_cast<int>(stream.position());
  });
}

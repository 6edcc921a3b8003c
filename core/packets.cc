#include "core/packets.h"

#include <vector>

namespace {

constexpr uint8_t kHeaderTag = 0x80;
constexpr uint8_t kHeaderNewFormat = 0x40;

bool single_length_byte(int type) { return type == PACKET_TRUST || type == PACKET_USER_ID; }

void write_signature_body(MemStream& body, const SignatureRecord& signature) {
  body.write_byte(signature.version);
  body.write_byte(signature.extras_length);
  body.write(signature.extras, signature.extras_length);
  body.write_byte(signature.pk_algorithm);
  body.write_byte(signature.digest_algorithm);
  body.write(signature.check, sizeof signature.check);
  write_number(body, signature.value, sizeof signature.value);
}

}  // namespace

void write_packet_header(MemStream& out, int type, size_t body_length) {
  int code;
  int length_bytes;
  if (single_length_byte(type)) {
    if (body_length > 0xFF) codec_abort(CORE_E_PACKET);
    code = 0;
    length_bytes = 1;
  } else if (body_length <= 0xFFFF) {
    code = 1;
    length_bytes = 2;
  } else {
    if (body_length > 0xFFFFFFFFu) codec_abort(CORE_E_PACKET);
    code = 2;
    length_bytes = 4;
  }
  out.write_byte(static_cast<uint8_t>(kHeaderTag | ((type & 0x0F) << 2) | code));
  out.write_be(static_cast<uint32_t>(body_length), length_bytes);
}

void write_packet(MemStream& out, int type, const void* body, size_t body_length) {
  write_packet_header(out, type, body_length);
  out.write(body, body_length);
}

PacketHeader read_packet_header(MemStream& in) {
  const uint8_t header = in.read_byte();
  if ((header & kHeaderTag) == 0 || (header & kHeaderNewFormat) != 0) codec_abort(CORE_E_PACKET);
  static constexpr int kLengthBytes[] = {1, 2, 4, 0};
  const int length_bytes = kLengthBytes[header & 3];
  if (length_bytes == 0) codec_abort(CORE_E_PACKET);
  // A packet cut inside its length bytes is short data, as any short read of
  // the stream is (CORE_E_NODATA).
  const size_t length = in.read_be(length_bytes);
  if (length > in.remaining()) codec_abort(CORE_E_PACKET);
  return {(header >> 2) & 0x0F, length};
}

unsigned number_bits(const uint8_t* field, size_t field_size) {
  for (size_t i = 0; i < field_size; ++i) {
    if (field[i] == 0) continue;
    unsigned bits = 8;
    for (uint8_t top = 0x80; (field[i] & top) == 0; top >>= 1) --bits;
    return static_cast<unsigned>((field_size - i - 1) * 8 + bits);
  }
  return 0;
}

void write_number(MemStream& out, const uint8_t* field, size_t field_size) {
  const unsigned bits = number_bits(field, field_size);
  if (bits > 0xFFFF) codec_abort(CORE_E_KEYLEN);
  const size_t bytes = (bits + 7) / 8;
  out.write_be(bits, 2);
  out.write(field + field_size - bytes, bytes);
}

int write_packets(uint8_t* out, int capacity, const SignatureRecord* signature) {
  if (out == nullptr || signature == nullptr || capacity < 0) return CORE_E_ARGS;
  if (signature->extras_length > kSignatureExtrasSize) return CORE_E_ARGS;
  return codec_call([&] {
    // Each body is built in scratch space and then framed into the output.
    std::vector<uint8_t> scratch(static_cast<size_t>(capacity) + 2048);
    auto body = MemStream::for_writing(scratch.data(), scratch.size());
    auto stream = MemStream::for_writing(out, static_cast<size_t>(capacity));
    write_signature_body(body, *signature);
    write_packet(stream, PACKET_SIGNATURE, scratch.data(), body.position());
    write_packet(stream, PACKET_TRUST, &kSignatureTrust, 1);
    return static_cast<int>(stream.position());
  });
}

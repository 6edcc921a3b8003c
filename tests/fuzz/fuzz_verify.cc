// Signed documents, detached signatures, card collections and AUTH lines from
// outside, through the verification library: it must stay inside its input,
// and whatever it accepts must really be signed by the fixture key.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "verify/velixverify.h"

namespace {

const velix_cards* fixture_cards() {
  static velix_cards* cards = [] {
    std::ifstream in(VELIX_SOURCE_DIR "/tests/fixtures/pubkeys.key", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    velix_cards* loaded = nullptr;
    if (velix_cards_load(text.str().data(), text.str().size(), 0, &loaded) != VELIX_OK) std::abort();
    return loaded;
  }();
  return cards;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // An exact-size copy so that any read past the input is caught.
  std::vector<char> text(data, data + size);
  const char* begin = text.data();

  velix_signer_info info{};
  // What the strict reader accepts, the lenient one accepts too.
  const velix_status strict = velix_verify_document(fixture_cards(), begin, size, 0, &info);
  if (strict == VELIX_OK) {
    if (info.serial != 12345 || std::strcmp(info.user_id, "Test User") != 0) std::abort();
    if (info.text < begin || info.text + info.text_length > begin + size) std::abort();
  }
  if (velix_verify_document(fixture_cards(), begin, size, VELIX_LENIENT, &info) != VELIX_OK && strict == VELIX_OK)
    std::abort();
  if (info.consumed > size) std::abort();
  if (info.text != nullptr) {
    static const uint8_t prefix[10] = {};
    size_t line_start = 0;
    if (velix_check_auth_line(prefix, info.text, info.text_length, info.serial, nullptr, &line_start) !=
            VELIX_E_NO_AUTH_LINE &&
        line_start >= info.text_length)
      std::abort();
  }

  static const char kData[] = "detached";
  if (velix_verify_detached(fixture_cards(), begin, size, kData, sizeof kData - 1, &info) == VELIX_OK &&
      info.serial != 12345)
    std::abort();

  velix_cards* cards = nullptr;
  if (velix_cards_load(begin, size, 0, &cards) == VELIX_OK && velix_cards_count(cards) == 0) std::abort();
  velix_cards_free(cards);
  return 0;
}

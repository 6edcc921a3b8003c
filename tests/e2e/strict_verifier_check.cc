#include "strict_verifier_check.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "verify/velixverify.h"

namespace {

std::string& cards_path() {
  static std::string path = VELIX_FIXTURE_CARDS;
  return path;
}

const velix_cards* fixture_cards() {
  static velix_cards* cards = [] {
    std::ifstream in(cards_path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    velix_cards* loaded = nullptr;
    if (velix_cards_load(text.str().data(), text.str().size(), 0, &loaded) != VELIX_OK) std::abort();
    return loaded;
  }();
  return cards;
}

}  // namespace

void use_strict_verifier_cards(const std::string& path) { cards_path() = path; }

bool strict_verifier_accepts(const std::string& document, std::string* problem) {
  velix_signer_info info{};
  const velix_status status = velix_verify_document(fixture_cards(), document.data(), document.size(), 0, &info);
  if (status == VELIX_OK || status == VELIX_E_CARD_NOT_FOUND) return true;
  if (problem != nullptr) *problem = std::string("strict verifier: ") + velix_status_text(status);
  return false;
}

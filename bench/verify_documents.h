// The documents the verification benchmarks check: 1 KiB texts signed by the
// core with a 1024-bit OpenSSL test key (serial 4242), and that key's card.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/engine.h"
#include "tests/support/test_keys.h"

namespace bench_verify {

constexpr int kDocuments = 256;

inline std::string kib_text(int index) {
  std::string text = "Document " + std::to_string(index) + "\r\n";
  while (text.size() < 1024) text += static_cast<char>('a' + (text.size() * 7 + index) % 26);
  return text;
}

struct Keys {
  KeyHandle secret{};
  std::string card;
};

inline Keys open_test_key() {
  core_init();
  Keys keys;
  const TestKey& key = test_rsa_key(1024);
  keys.secret.engine_id = ENGINE_BUILTIN;
  keys.secret.kind = KEY_KIND_SECRET;
  keys.secret.serial = 4242;
  std::strcpy(keys.secret.user_id, "Bench User");
  KeyHandle public_key = keys.secret;
  public_key.kind = KEY_KIND_PUBLIC;
  public_key.engine_data = nullptr;
  if (g_engine_table[ENGINE_BUILTIN].open_secret_key(&key.record, &keys.secret) != 0 ||
      g_engine_table[ENGINE_BUILTIN].open_public_key(&key.record, &public_key) != 0)
    std::exit(1);
  std::string card(4096, '\0');
  const int length = core_export_public_card(card.data(), 4096, &public_key, &keys.secret);
  if (length <= 0) std::exit(1);
  card.resize(static_cast<size_t>(length));
  keys.card = card + "\r\n";
  core_close_key(&public_key);
  return keys;
}

inline std::string sign(const std::string& text, KeyHandle* key) {
  std::string out(text.size() + 4096, '\0');
  const int length = core_sign_document(text.c_str(), static_cast<int>(text.size()), out.data(),
                                        static_cast<int>(out.size()), key);
  if (length <= 0) std::exit(1);
  out.resize(static_cast<size_t>(length));
  return out;
}

inline std::vector<std::string> signed_documents(Keys& keys) {
  std::vector<std::string> documents;
  for (int i = 0; i < kDocuments; ++i) documents.push_back(sign(kib_text(i), &keys.secret));
  return documents;
}

}  // namespace bench_verify

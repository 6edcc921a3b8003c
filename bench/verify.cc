// Checking 1 KiB signed documents made with 1024-bit keys: libvelixverify's
// velix_verify_document against the bare work (OpenSSL's MD5 of the same
// bytes, RSA_public_decrypt and a compare, with the document already taken
// apart), on one core, in one run. The goal is at least 0.8 times the bare
// work's throughput. Times are processor time of this thread.
//
// Then, when the velix program sits beside this one, 10,000 such documents are
// written to a temporary folder and `velix verify --batch` is timed (wall
// time) against the library's own loop over the same files.
#include <openssl/md5.h>
#include <openssl/rsa.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/document.h"
#include "core/engine.h"
#include "tests/support/signed_document_check.h"
#include "tests/support/test_keys.h"
#include "verify/velixverify.h"

namespace {

constexpr int kDocuments = 256;
constexpr int kRounds = 15;
constexpr int kBatchDocuments = 10000;

double thread_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string kib_text(int index) {
  std::string text = "Document " + std::to_string(index) + "\r\n";
  while (text.size() < 1024) text += static_cast<char>('a' + (text.size() * 7 + index) % 26);
  return text;
}

struct Keys {
  KeyHandle secret{};
  std::string card;
};

Keys open_test_key() {
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

std::string sign(const std::string& text, KeyHandle* key) {
  std::string out(text.size() + 4096, '\0');
  const int length = core_sign_document(text.c_str(), static_cast<int>(text.size()), out.data(),
                                        static_cast<int>(out.size()), key);
  if (length <= 0) std::exit(1);
  out.resize(static_cast<size_t>(length));
  return out;
}

// The bare work's input: the document already taken apart.
struct Bare {
  std::string text;
  std::vector<uint8_t> extras;
  std::vector<uint8_t> value;
};

int run_velix_batch(const std::filesystem::path& velix, const std::vector<std::string>& documents,
                    const std::string& card) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("bench_verify." + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "docs");
  std::ofstream(dir / "pubkeys.key", std::ios::binary) << card;
  for (int i = 0; i < kBatchDocuments; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "doc%05d.txt", i);
    std::ofstream(dir / "docs" / name, std::ios::binary) << documents[static_cast<size_t>(i) % documents.size()];
  }

  // The library's own loop: read every file, check it.
  velix_cards* cards = nullptr;
  velix_cards_load(card.data(), card.size(), 0, &cards);
  const auto loop_start = std::chrono::steady_clock::now();
  int good = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "docs")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string document = content.str();
    velix_signer_info info{};
    good += velix_verify_document(cards, document.data(), document.size(), 0, &info) == VELIX_OK;
  }
  const double loop_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - loop_start).count();
  velix_cards_free(cards);

  const std::string command = velix.string() + " verify --batch " + (dir / "docs").string() + " --cards " +
                              (dir / "pubkeys.key").string() + " > /dev/null";
  const auto tool_start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double tool_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tool_start).count();
  std::filesystem::remove_all(dir);

  std::printf("\nvelix verify --batch, %d documents (wall time)\n", kBatchDocuments);
  std::printf("  library loop (read + verify): %.3f s, %d good\n", loop_seconds, good);
  std::printf("  velix verify --batch:         %.3f s, exit %d\n", tool_seconds, WEXITSTATUS(status));
  std::printf("  ratio tool / library loop:    %.2f\n", tool_seconds / loop_seconds);
  return good == kBatchDocuments && WEXITSTATUS(status) == 0 ? 0 : 1;
}

}  // namespace

int main(int, char** argv) {
  // One core: the comparison must not depend on where the scheduler puts us.
  cpu_set_t one{};
  CPU_SET(sched_getcpu(), &one);
  sched_setaffinity(0, sizeof one, &one);

  core_init();
  Keys keys = open_test_key();
  velix_cards* cards = nullptr;
  if (velix_cards_load(keys.card.data(), keys.card.size(), 0, &cards) != VELIX_OK) return 1;

  std::vector<std::string> documents;
  std::vector<Bare> bare;
  for (int i = 0; i < kDocuments; ++i) {
    documents.push_back(sign(kib_text(i), &keys.secret));
    test_support::SignedDocument parsed;
    std::string why;
    if (!test_support::parse_signed_document(documents.back(), &parsed, &why)) return 1;
    bare.push_back({parsed.text, parsed.extras, parsed.signature});
  }
  RSA* rsa = test_rsa_key(1024).rsa.get();
  static const uint8_t kMd5Prefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

  const auto bare_round = [&] {
    int good = 0;
    for (const Bare& doc : bare) {
      uint8_t expected[34];
      std::memcpy(expected, kMd5Prefix, sizeof kMd5Prefix);
      MD5_CTX md5;
      MD5_Init(&md5);
      MD5_Update(&md5, doc.text.data(), doc.text.size());
      MD5_Update(&md5, doc.extras.data(), doc.extras.size());
      MD5_Final(expected + sizeof kMd5Prefix, &md5);
      uint8_t opened[128];
      const int n = RSA_public_decrypt(static_cast<int>(doc.value.size()), doc.value.data(), opened, rsa,
                                       RSA_PKCS1_PADDING);
      good += n == 34 && std::memcmp(opened, expected, 34) == 0;
    }
    return good;
  };
  const auto library_round = [&] {
    int good = 0;
    for (const std::string& doc : documents) {
      velix_signer_info info{};
      good += velix_verify_document(cards, doc.data(), doc.size(), 0, &info) == VELIX_OK;
    }
    return good;
  };

  std::vector<double> bare_rate, library_rate;
  for (int round = 0; round < kRounds; ++round) {
    double start = thread_seconds();
    if (bare_round() != kDocuments) return std::fprintf(stderr, "bare check failed\n"), 1;
    bare_rate.push_back(kDocuments / (thread_seconds() - start));
    start = thread_seconds();
    if (library_round() != kDocuments) return std::fprintf(stderr, "library check failed\n"), 1;
    library_rate.push_back(kDocuments / (thread_seconds() - start));
  }
  velix_cards_free(cards);

  const double bare_median = median(bare_rate);
  const double library_median = median(library_rate);
  std::printf("verifying 1 KiB documents, 1024-bit key, one core (median of %d rounds of %d)\n", kRounds,
              kDocuments);
  std::printf("  bare OpenSSL MD5 + RSA_public_decrypt + compare: %9.0f documents/s\n", bare_median);
  std::printf("  velix_verify_document:                           %9.0f documents/s\n", library_median);
  std::printf("  ratio library / bare: %.2f (goal >= 0.80)\n", library_median / bare_median);

  const std::filesystem::path velix = std::filesystem::path(argv[0]).parent_path() / "velix";
  if (std::filesystem::exists(velix)) return run_velix_batch(velix, documents, keys.card);
  std::printf("\n(no velix program beside this one: the batch comparison is skipped)\n");
  return 0;
}

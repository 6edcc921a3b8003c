// Checking 1 KiB signed documents made with 1024-bit keys: libvelixverify's
// velix_verify_document against the bare work (OpenSSL's MD5 of the same
// bytes, RSA_public_decrypt and a compare, with the document already taken
// apart), on one core, in one run. The goal is at least 0.8 times the bare
// work's throughput, and the strict form's checks may cost at most 5 % of the
// lenient reader's throughput. Times are processor time of this thread.
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

#include "bench/sample_stats.h"
#include "bench/verify_documents.h"
#include "core/document.h"
#include "tests/support/signed_document_check.h"
#include "verify/velixverify.h"

namespace {

using namespace bench_verify;

constexpr int kRounds = 16;
constexpr int kBatchDocuments = 10000;

double thread_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
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
  const auto library_round = [&](unsigned flags) {
    int good = 0;
    for (const std::string& doc : documents) {
      velix_signer_info info{};
      good += velix_verify_document(cards, doc.data(), doc.size(), flags, &info) == VELIX_OK;
    }
    return good;
  };
  const auto timed = [&](auto&& round, const char* what) {
    const double start = thread_seconds();
    if (round() != kDocuments) std::fprintf(stderr, "%s failed\n", what), std::exit(1);
    return kDocuments / (thread_seconds() - start);
  };

  // Each round times the three loops back to back; the ratios are taken
  // within a round, so a slow moment of the machine cancels out.
  std::vector<double> bare_rate, strict_rate, lenient_rate, strict_vs_bare, strict_vs_lenient;
  for (int round = 0; round < kRounds; ++round) {
    // Which of the two modes runs first alternates, so neither gains from
    // the caches the other warmed.
    bare_rate.push_back(timed(bare_round, "bare check"));
    const auto strict = [&] { strict_rate.push_back(timed([&] { return library_round(0); }, "strict check")); };
    const auto lenient = [&] {
      lenient_rate.push_back(timed([&] { return library_round(VELIX_LENIENT); }, "lenient check"));
    };
    if (round % 2 == 0) {
      strict();
      lenient();
    } else {
      lenient();
      strict();
    }
    strict_vs_bare.push_back(strict_rate.back() / bare_rate.back());
    strict_vs_lenient.push_back(strict_rate.back() / lenient_rate.back());
  }
  velix_cards_free(cards);

  std::printf("verifying 1 KiB documents, 1024-bit key, one core (%d rounds of %d; min / median / max)\n",
              kRounds, kDocuments);
  const auto show = [](const char* what, const std::vector<double>& samples, const char* format) {
    const Stats s = stats_of(samples);
    std::printf("  %-48s", what);
    std::printf(format, s.min);
    std::printf(" / ");
    std::printf(format, s.median);
    std::printf(" / ");
    std::printf(format, s.max);
    std::printf("\n");
  };
  show("bare OpenSSL MD5 + RSA_public_decrypt (doc/s):", bare_rate, "%.0f");
  show("velix_verify_document, strict (doc/s):", strict_rate, "%.0f");
  show("velix_verify_document, VELIX_LENIENT (doc/s):", lenient_rate, "%.0f");
  show("ratio strict / bare (goal >= 0.80):", strict_vs_bare, "%.3f");
  show("ratio strict / lenient (goal >= 0.95):", strict_vs_lenient, "%.3f");

  const std::filesystem::path velix = std::filesystem::path(argv[0]).parent_path() / "velix";
  if (std::filesystem::exists(velix)) return run_velix_batch(velix, documents, keys.card);
  std::printf("\n(no velix program beside this one: the batch comparison is skipped)\n");
  return 0;
}

// The C library's own loop, as the yardstick of the Python and Java
// bindings (bench/verify_bindings.py):
//   bench_verify_loop write DIR   writes DIR/cards.key and DIR/doc000.txt ...
//   bench_verify_loop run DIR N   checks every document of DIR 4 times a
//                                 round, N rounds, and prints each round's
//                                 documents/s
// Wall time, the way the bindings are timed.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/verify_documents.h"
#include "verify/velixverify.h"

namespace fs = std::filesystem;

// Passes over the documents in one timed round (the bindings make as many).
constexpr int kPasses = 4;

namespace {

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

int write_documents(const fs::path& dir) {
  bench_verify::Keys keys = bench_verify::open_test_key();
  fs::create_directories(dir);
  std::ofstream(dir / "cards.key", std::ios::binary) << keys.card;
  const std::vector<std::string> documents = bench_verify::signed_documents(keys);
  for (size_t i = 0; i < documents.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "doc%03zu.txt", i);
    std::ofstream(dir / name, std::ios::binary) << documents[i];
  }
  return 0;
}

int run_rounds(const fs::path& dir, int rounds) {
  const std::string card = read_file(dir / "cards.key");
  velix_cards* cards = nullptr;
  if (velix_cards_load(card.data(), card.size(), 0, &cards) != VELIX_OK) return 1;
  std::vector<std::string> documents;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().rfind("doc", 0) == 0) documents.push_back(read_file(entry.path()));
  for (int round = 0; round < rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < kPasses; ++pass)
      for (const std::string& doc : documents) {
        velix_signer_info info{};
        if (velix_verify_document(cards, doc.data(), doc.size(), 0, &info) != VELIX_OK) return 1;
      }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f\n", static_cast<double>(kPasses * documents.size()) / seconds);
  }
  velix_cards_free(cards);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "write" && argc == 3) return write_documents(argv[2]);
  if (mode == "run" && argc == 4) return run_rounds(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: bench_verify_loop write DIR | run DIR ROUNDS\n");
  return 2;
}

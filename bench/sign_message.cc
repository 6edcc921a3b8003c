// The signer's own cost of SignMessage: a message signed through CSigner with
// the key already open (no dialog) against core_sign_document alone on the
// same text and key, measured in one run and reported as a ratio (goal: at
// most 1.1). Times are processor time per call, so that other load on the
// machine does not blur the comparison; each round signs kCallsPerRound
// times with each contender, alternating.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core.h"
#include "engines/hardanchor.h"
#include "signer/crypto_initializer.h"
#include "bench/signer_fixture_key.h"
#include "signer/signer.h"
#include "signer/signer_state.h"

namespace {

constexpr int kRounds = 21;
constexpr int kCallsPerRound = 100;

double processor_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Series {
  const char* name;
  std::vector<double> microseconds;  // per call, one entry per round
  double at(double fraction) const {
    std::vector<double> sorted = microseconds;
    std::sort(sorted.begin(), sorted.end());
    return sorted[static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1))];
  }
};

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path fixture = fs::path(__FILE__).parent_path().parent_path() / "tests" / "fixtures" / "secret.key";
  std::string home = (fs::temp_directory_path() / "velix-bench-XXXXXX").string();
  if (mkdtemp(home.data()) == nullptr) return 1;
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);  // settings go to a scratch registry

  CSigner signer;
  if (!OpenFixtureKeyForSigner(fixture)) return 1;
  KeyHandle& key = CCryptoInitializer::Instance().key();

  std::u16string message = u"PAYMENT ORDER 42\r\nPAYER: IVANOV I.I.\r\nAMOUNT: 10.00\r\n";
  while (message.size() < 480) message += u"PURPOSE: payment for services under contract 17/2024\r\n";
  std::u16string signed_document;
  signer.SignMessage(message, &signed_document);
  if (signed_document.empty()) return 1;
  // The same text core_sign_document signs inside SignMessage: from the data block of the document.
  const std::string document(signed_document.begin(), signed_document.end());
  const size_t begin = document.find("BEGIN\r\n") + 7;
  const std::string text = document.substr(begin, document.find("\r\nEND\r\n", begin) - begin);
  std::vector<char> out(text.size() + 8192);

  Series through_signer{"SignMessage", {}};
  Series core_alone{"core_sign_document", {}};
  for (int round = 0; round < kRounds; ++round) {
    double start = processor_seconds();
    for (int i = 0; i < kCallsPerRound; ++i) {
      std::u16string result;
      signer.SignMessage(message, &result);
      if (result.empty()) return 1;
    }
    through_signer.microseconds.push_back((processor_seconds() - start) * 1e6 / kCallsPerRound);
    start = processor_seconds();
    for (int i = 0; i < kCallsPerRound; ++i) {
      if (core_sign_document(text.c_str(), -1, out.data(), static_cast<int>(out.size()), &key) <= 0) return 1;
    }
    core_alone.microseconds.push_back((processor_seconds() - start) * 1e6 / kCallsPerRound);
  }
  CCryptoInitializer::Instance().CloseKey();
  fs::remove_all(home);

  std::printf("message of %zu characters, 1024-bit key, %d rounds of %d calls\n", message.size(), kRounds,
              kCallsPerRound);
  std::printf("%-20s %10s %10s %10s  (microseconds per call)\n", "", "min", "median", "max");
  for (const Series* s : {&through_signer, &core_alone}) {
    std::printf("%-20s %10.1f %10.1f %10.1f\n", s->name, s->at(0), s->at(0.5), s->at(1));
  }
  const double ratio = through_signer.at(0.5) / core_alone.at(0.5);
  std::printf("ratio SignMessage / core_sign_document (medians): %.3f (goal <= 1.1)\n", ratio);
  return 0;
}

// libvelixverify on 2 threads against 1 thread: the same 1 KiB documents with
// a 1024-bit key, one shared card collection, wall time. The goal is 1.8 times
// the throughput on a quiet 2-core machine. Beside it, a control loop that
// shares nothing (integer arithmetic) on 1 and 2 threads shows how much of
// the second core the machine really gave: a library ratio near the control's
// means the library itself holds no lock.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "bench/sample_stats.h"
#include "bench/verify_documents.h"
#include "verify/velixverify.h"

using namespace bench_verify;

namespace {

constexpr int kRounds = 9;
constexpr int kPasses = 8;  // passes over the documents per thread and round

double seconds_of(int threads, const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t) running.emplace_back(work);
  for (auto& thread : running) thread.join();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Throughput on 2 threads over throughput on 1, each thread doing the same work.
double two_over_one(const std::function<void()>& work) {
  const double one = seconds_of(1, work);
  const double two = seconds_of(2, work);
  return 2 * one / two;
}

}  // namespace

int main() {
  Keys keys = open_test_key();
  const std::vector<std::string> documents = signed_documents(keys);
  velix_cards* cards = nullptr;
  if (velix_cards_load(keys.card.data(), keys.card.size(), 0, &cards) != VELIX_OK) return 1;

  std::atomic<int> failures{0};
  const auto verify_work = [&] {
    for (int pass = 0; pass < kPasses; ++pass)
      for (const std::string& doc : documents) {
        velix_signer_info info{};
        if (velix_verify_document(cards, doc.data(), doc.size(), 0, &info) != VELIX_OK) ++failures;
      }
  };
  std::atomic<uint64_t> sink{0};
  const auto control_work = [&] {
    uint64_t x = 88172645463325252ull;
    for (int i = 0; i < 60'000'000; ++i) x = x * 6364136223846793005ull + 1442695040888963407ull;
    sink += x;
  };

  std::vector<double> library, control;
  for (int round = 0; round < kRounds; ++round) {
    library.push_back(two_over_one(verify_work));
    control.push_back(two_over_one(control_work));
  }
  velix_cards_free(cards);
  if (failures != 0) return std::fprintf(stderr, "%d checks failed\n", failures.load()), 1;

  const Stats l = stats_of(library), c = stats_of(control);
  std::printf("2 threads against 1, %d x %d documents per thread, %u cores (%d rounds; min / median / max)\n",
              kPasses, kDocuments, std::thread::hardware_concurrency(), kRounds);
  std::printf("  velix_verify_document (goal >= 1.8): %.2f / %.2f / %.2f\n", l.min, l.median, l.max);
  std::printf("  control loop, nothing shared:        %.2f / %.2f / %.2f\n", c.min, c.median, c.max);
  return 0;
}

#include "engines/engine_log.h"

#include <deque>
#include <mutex>

namespace engines {
namespace {

constexpr size_t kMaxPendingLines = 256;  // enough for every engine's search report

std::mutex g_mutex;
EngineLogSink g_sink = nullptr;
std::deque<std::string> g_pending;

}  // namespace

void set_engine_log_sink(EngineLogSink sink) {
  std::deque<std::string> pending;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_sink = sink;
    if (sink != nullptr) pending.swap(g_pending);
  }
  for (const std::string& line : pending) sink(line);
}

void engine_log(const std::string& line) {
  EngineLogSink sink = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    sink = g_sink;
    if (sink == nullptr) {
      if (g_pending.size() == kMaxPendingLines) g_pending.pop_front();
      g_pending.push_back(line);
      return;
    }
  }
  sink(line);
}

}  // namespace engines

#include "engines/engine_log.h"

#include <deque>
#include <mutex>

namespace engines {
namespace {

constexpr size_t kMaxPendingLines = 256;  // enough for every engine's search report

// Never destroyed: nothing runs at exit from a library (velixcom) that may
// already be unloaded then.
struct LogState {
  std::mutex mutex;
  EngineLogSink sink = nullptr;
  std::deque<std::string> pending;
};
LogState& state() {
  static LogState* const instance = new LogState;
  return *instance;
}

}  // namespace

void set_engine_log_sink(EngineLogSink sink) {
  std::deque<std::string> pending;
  {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.sink = sink;
    if (sink != nullptr) pending.swap(s.pending);
  }
  for (const std::string& line : pending) sink(line);
}

void engine_log(const std::string& line) {
  EngineLogSink sink = nullptr;
  {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    sink = s.sink;
    if (sink == nullptr) {
      if (s.pending.size() == kMaxPendingLines) s.pending.pop_front();
      s.pending.push_back(line);
      return;
    }
  }
  sink(line);
}

}  // namespace engines

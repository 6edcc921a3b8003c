#include "ui/debug_log.h"

namespace ui {
namespace {

DebugLogSink g_sink = nullptr;

}  // namespace

void SetDebugLogSink(DebugLogSink sink) { g_sink = sink; }

void DebugLog(const std::string& line) {
  if (g_sink != nullptr) g_sink(line);
}

}  // namespace ui

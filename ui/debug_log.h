// Debug lines from the dialogs and the signer. velixhost sends them to its log
// file; elsewhere they go nowhere unless a sink is installed.
#pragma once

#include <string>

namespace ui {

using DebugLogSink = void (*)(const std::string& line);

// nullptr: lines are dropped.
void SetDebugLogSink(DebugLogSink sink);
void DebugLog(const std::string& line);

}  // namespace ui

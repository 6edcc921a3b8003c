// Diagnostic lines from the engines (which library a token engine tried, and
// why each try failed). The engines sit below every log, so they hand their
// lines to a sink that the program installs; lines written before there is a
// sink are kept and handed over when one is installed.
#pragma once

#include <string>

namespace engines {

using EngineLogSink = void (*)(const std::string& line);

// nullptr: lines are kept until a sink is installed.
void set_engine_log_sink(EngineLogSink sink);
void engine_log(const std::string& line);

}  // namespace engines

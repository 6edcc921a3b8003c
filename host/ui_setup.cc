#include "host/ui_setup.h"

#include <QDebug>
#include <QString>

#include "engines/engine_log.h"
#include "ui/debug_log.h"
#include "ui/load_string.h"

namespace {

void log_debug_line(const std::string& line) { qDebug().noquote() << QString::fromStdString(line); }

}  // namespace

HostUi::HostUi(const dialog_module::Interface* dialogs) {
  ui::InstallResourceStrings();
  ui::SetDebugLogSink(&log_debug_line);
  // Which token libraries the engines tried, and why each failed.
  engines::set_engine_log_sink(&log_debug_line);
  backend_ = std::make_unique<DialogBackend>(dialogs);
}

HostUi::~HostUi() {
  backend_.reset();
  engines::set_engine_log_sink(nullptr);
  ui::SetDebugLogSink(nullptr);
}

// The web origin (scheme, host and port) of the page a request comes from, so
// that the authorization dialog can show the user who asks for a signature.
// Empty when the request names none (scripts, the COM server).
#pragma once

#include <string>

#include "ui/dialog_window.h"

namespace ui {

// Keeps printable ASCII only (origins are ASCII; anything else becomes '?').
// The origin is kept whole or not at all: one longer than kMaxOriginLength
// (no browser gives such an origin) is refused, nothing is kept, and the
// result is false.
bool SetRequestOrigin(const std::string& origin);
const std::string& RequestOrigin();

// The caption's addition for the origin in the thread's UI language, in the
// ANSI code page: "request from <origin>" / "запрос от <origin>"; empty when
// there is no origin.
std::string RequestOriginCaption();

// Origins are at most about 270 characters (a 253-character host, a scheme
// and a port).
// Shows the origin on a dialog's "Site:" line (label `label_id`, text
// `value_id`) when there is one; hides the line otherwise.
void ShowRequestOrigin(DialogWindow* window, int label_id, int value_id);

constexpr size_t kMaxOriginLength = 1024;

}  // namespace ui

// The web origin (scheme, host and port) of the page a request comes from, so
// that the authorization dialog can show the user who asks for a signature.
// Empty when the request names none (scripts, the COM server).
#pragma once

#include <string>

namespace ui {

// Keeps printable ASCII only (origins are ASCII; anything else becomes '?')
// and at most kMaxOriginLength characters.
void SetRequestOrigin(const std::string& origin);
const std::string& RequestOrigin();

// The caption's addition for the origin in the thread's UI language, in the
// ANSI code page: "request from <origin>" / "запрос от <origin>"; empty when
// there is no origin.
std::string RequestOriginCaption();

constexpr size_t kMaxOriginLength = 200;

}  // namespace ui

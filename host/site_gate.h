// Which page may reach the user's key: velixhost decides, whatever called it.
// A request that may show a dialog (signMessage, editKeys), or that writes a
// stored setting (useScreenKbd with a value), comes from a site the
// administrator or the user allowed, or the user is asked first; everything
// else (version, reset, reading a setting) is answered as it is.
#pragma once

#include <QString>

#include <memory>

#include "host/dialog_turn.h"

struct HostRequest;

// What a browser passes a native-messaging host: Chromium the extension's
// origin ("chrome-extension://<id>/"), Firefox the manifest's path and the
// add-on's id. A request in such a run must name its page's origin.
bool started_by_browser(int argc, char** argv);
void set_started_by_browser(bool started);

struct GateDecision {
  // Empty: the request goes on. Else why not: "origin-refused", "busy" (another
  // dialog is open in the session) or "no-display" (nobody to ask).
  QString refusal;
  // Held while the request's own dialogs are shown.
  std::unique_ptr<DialogTurn> turn;
};

// May show the consent dialog; "Always allow this site" is stored in the
// user's list (settings/allowed_sites.h).
GateDecision check_site(const HostRequest& request);

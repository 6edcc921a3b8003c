// The signer's dialogs for velix sign --dialog: while an object lives, the
// authorization dialog and the signer's message boxes show on the display.
#pragma once

#include <memory>

class SignerDialogs {
 public:
  // Finds a display that can really be opened and starts Qt on it. Without
  // one (or without the dialog module) it says so on standard error and every
  // dialog answers as Cancel at once, since a dialog nobody sees would wait
  // for ever.
  SignerDialogs();
  ~SignerDialogs();
  SignerDialogs(const SignerDialogs&) = delete;
  SignerDialogs& operator=(const SignerDialogs&) = delete;

 private:
  struct Qt;
  std::unique_ptr<Qt> qt_;
};

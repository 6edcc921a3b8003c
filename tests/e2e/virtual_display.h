// A private X display for one test program: Xvfb on a display number it picks
// itself (no TCP), stopped with the object. Dialogs of the programs under test
// open there, where xdotool can find them and type into them.
#pragma once

#include <string>

#include <sys/types.h>

class VirtualDisplay {
 public:
  // Starts Xvfb and waits (bounded) until it accepts clients. ok() says
  // whether that worked; error() says why not.
  VirtualDisplay();
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool ok() const { return !name_.empty(); }
  const std::string& error() const { return error_; }
  // The DISPLAY value, e.g. ":93".
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string error_;
};

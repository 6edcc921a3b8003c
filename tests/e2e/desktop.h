// A person at the virtual display, through xdotool: waits for a window by
// its title, gives it the keyboard focus, types and presses keys. Every wait
// is bounded.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ChildProcess;

class Desktop {
 public:
  explicit Desktop(std::string display) : display_(std::move(display)) {}

  // The id of a visible window whose title matches the regular expression,
  // once one appears; nullopt after the timeout or when `owner` ends first.
  std::optional<std::string> wait_for_window(const std::string& title, std::chrono::milliseconds timeout,
                                             const ChildProcess* owner = nullptr) const;
  // True once no visible window's title matches, within the timeout.
  bool wait_until_gone(const std::string& title, std::chrono::milliseconds timeout) const;

  // Focuses the window, then types the text or presses the keys (xdotool key
  // names: "Return", "Escape", "Tab"). False when xdotool failed.
  bool type(const std::string& window, const std::string& text) const;
  bool press(const std::string& window, const std::vector<std::string>& keys) const;

  // The titles of all visible windows (for failure messages).
  std::string visible_titles() const;
  // The title of one window, as the window manager shows it (UTF-8).
  std::string title(const std::string& window) const;

 private:
  std::vector<std::string> find(const std::string& title) const;
  bool focus(const std::string& window) const;
  bool xdotool(const std::vector<std::string>& args, std::string* output = nullptr) const;

  std::string display_;
};

// Watches an X display for top-level windows being mapped, through its own
// connection (xcb), so a map is seen when the server does it rather than at
// the next poll.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include <sys/types.h>

struct xcb_connection_t;

struct MappedWindow {
  std::chrono::steady_clock::time_point when;  // when the map was seen
  int width = 0;
  int height = 0;
  std::string title;  // _NET_WM_NAME (UTF-8)
};

class WindowWatch {
 public:
  explicit WindowWatch(const std::string& display);
  ~WindowWatch();
  WindowWatch(const WindowWatch&) = delete;
  WindowWatch& operator=(const WindowWatch&) = delete;

  bool ok() const { return connection_ != nullptr; }
  // The first top-level window of process `pid` (its _NET_WM_PID) mapped
  // from now on; nullopt when none is mapped before the deadline.
  std::optional<MappedWindow> wait_for_window_of(pid_t pid, std::chrono::steady_clock::time_point deadline);

 private:
  std::optional<uint32_t> window_pid(uint32_t window);
  std::string window_title(uint32_t window);
  uint32_t atom(const char* name);

  xcb_connection_t* connection_ = nullptr;
  uint32_t root_ = 0;
  uint32_t pid_atom_ = 0;
  uint32_t name_atom_ = 0;
  uint32_t utf8_atom_ = 0;
};

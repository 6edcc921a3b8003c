#include "platform/display.h"

#include <dlfcn.h>
#include <signal.h>

#include <cstdlib>

namespace platform {

namespace {

bool is_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The client libraries are loaded, not linked: where one is missing, the
// toolkit's plugin for that window system cannot run either.
class ClientLibrary {
 public:
  explicit ClientLibrary(const char* name) : handle_(dlopen(name, RTLD_LAZY | RTLD_LOCAL)) {}
  ~ClientLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  ClientLibrary(const ClientLibrary&) = delete;
  ClientLibrary& operator=(const ClientLibrary&) = delete;

  template <typename Function>
  Function* symbol(const char* name) const {
    return handle_ == nullptr ? nullptr : reinterpret_cast<Function*>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

}  // namespace

bool os_can_open_x11_display(std::string* why) {
  if (!is_set("DISPLAY")) {
    *why = "DISPLAY is not set";
    return false;
  }
  const ClientLibrary xcb("libxcb.so.1");
  using Connect = void*(const char*, int*);
  using HasError = int(void*);
  using Disconnect = void(void*);
  auto* connect = xcb.symbol<Connect>("xcb_connect");
  auto* has_error = xcb.symbol<HasError>("xcb_connection_has_error");
  auto* disconnect = xcb.symbol<Disconnect>("xcb_disconnect");
  if (connect == nullptr || has_error == nullptr || disconnect == nullptr) {
    *why = "the X client library libxcb.so.1 is missing";
    return false;
  }
  // A failed connection is still an object to release.
  void* connection = connect(nullptr, nullptr);
  const bool opened = connection != nullptr && has_error(connection) == 0;
  if (connection != nullptr) disconnect(connection);
  if (!opened) *why = std::string("the X display \"") + std::getenv("DISPLAY") + "\" cannot be opened";
  return opened;
}

bool os_can_open_wayland_display(std::string* why) {
  if (!is_set("WAYLAND_DISPLAY")) {
    *why = "WAYLAND_DISPLAY is not set";
    return false;
  }
  const ClientLibrary wayland("libwayland-client.so.0");
  using Connect = void*(const char*);
  using Disconnect = void(void*);
  auto* connect = wayland.symbol<Connect>("wl_display_connect");
  auto* disconnect = wayland.symbol<Disconnect>("wl_display_disconnect");
  if (connect == nullptr || disconnect == nullptr) {
    *why = "the Wayland client library libwayland-client.so.0 is missing";
    return false;
  }
  void* display = connect(nullptr);
  if (display == nullptr) {
    *why = std::string("the Wayland display \"") + std::getenv("WAYLAND_DISPLAY") + "\" cannot be opened";
    return false;
  }
  disconnect(display);
  return true;
}

void os_ignore_broken_pipe() { signal(SIGPIPE, SIG_IGN); }

}  // namespace platform

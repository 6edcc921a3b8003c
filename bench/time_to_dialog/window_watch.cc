#include "window_watch.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

}  // namespace

WindowWatch::WindowWatch(const std::string& display) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    return;
  }
  connection_ = connection;
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  // Maps of the root's children (the top-level windows; Xvfb has no window
  // manager to reparent them) arrive as MapNotify events.
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  pid_atom_ = atom("_NET_WM_PID");
  name_atom_ = atom("_NET_WM_NAME");
  utf8_atom_ = atom("UTF8_STRING");
}

uint32_t WindowWatch::atom(const char* name) {
  ReplyPtr<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr),
      &std::free);
  return reply ? reply->atom : 0;
}

std::string WindowWatch::window_title(uint32_t window) {
  const xcb_get_property_cookie_t cookie = xcb_get_property(connection_, 0, window, name_atom_, utf8_atom_, 0, 256);
  ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr), &std::free);
  if (!reply) return {};
  return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<size_t>(xcb_get_property_value_length(reply.get())));
}

WindowWatch::~WindowWatch() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

std::optional<uint32_t> WindowWatch::window_pid(uint32_t window) {
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection_, 0, window, pid_atom_, XCB_ATOM_CARDINAL, 0, 1);
  ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr), &std::free);
  if (!reply || xcb_get_property_value_length(reply.get()) != 4) return std::nullopt;
  uint32_t pid = 0;
  std::memcpy(&pid, xcb_get_property_value(reply.get()), sizeof pid);
  return pid;
}

std::optional<MappedWindow> WindowWatch::wait_for_window_of(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  if (connection_ == nullptr) return std::nullopt;
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const auto when = std::chrono::steady_clock::now();
      ReplyPtr<xcb_generic_event_t> owned(event, &std::free);
      if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
      const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      if (map->event != root_ || window_pid(map->window) != static_cast<uint32_t>(pid)) continue;
      ReplyPtr<xcb_get_geometry_reply_t> geometry(
          xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, map->window), nullptr), &std::free);
      MappedWindow mapped;
      mapped.when = when;
      mapped.title = window_title(map->window);
      if (geometry) {
        mapped.width = geometry->width;
        mapped.height = geometry->height;
      }
      return mapped;
    }
    if (xcb_connection_has_error(connection_) != 0) return std::nullopt;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
  }
}

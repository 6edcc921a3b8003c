#include "desktop.h"

#include <sstream>
#include <thread>

#include "child_process.h"

namespace {

constexpr auto kCommandTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(100);
// The dialogs build their pages from a message they post to themselves once
// they are shown; keys sent before that would land on the wrong control.
constexpr auto kSettleTime = std::chrono::milliseconds(400);

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

bool Desktop::xdotool(const std::vector<std::string>& args, std::string* output) const {
  std::vector<std::string> argv = {"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  const CommandResult result = run_command(argv, {{"DISPLAY", display_}}, kCommandTimeout);
  if (output != nullptr) *output = result.output;
  return result.finished && result.exit_code == 0;
}

std::vector<std::string> Desktop::find(const std::string& title) const {
  std::string output;
  // xdotool search exits 1 when nothing matches.
  xdotool({"search", "--onlyvisible", "--name", title}, &output);
  return lines_of(output);
}

std::optional<std::string> Desktop::wait_for_window(const std::string& title, std::chrono::milliseconds timeout,
                                                    const ChildProcess* owner) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::vector<std::string> found = find(title);
    if (!found.empty()) {
      std::this_thread::sleep_for(kSettleTime);
      return found.back();
    }
    if (owner != nullptr && !owner->running()) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
  return std::nullopt;
}

bool Desktop::wait_until_gone(const std::string& title, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (find(title).empty()) return true;
    std::this_thread::sleep_for(kPollInterval);
  }
  return false;
}

bool Desktop::focus(const std::string& window) const { return xdotool({"windowfocus", "--sync", window}); }

bool Desktop::type(const std::string& window, const std::string& text) const {
  return focus(window) && xdotool({"type", "--delay", "30", text});
}

bool Desktop::press(const std::string& window, const std::vector<std::string>& keys) const {
  if (!focus(window)) return false;
  std::vector<std::string> args = {"key", "--delay", "60"};
  args.insert(args.end(), keys.begin(), keys.end());
  return xdotool(args);
}

std::string Desktop::title(const std::string& window) const {
  std::string name;
  xdotool({"getwindowname", window}, &name);
  return name.empty() ? name : name.substr(0, name.size() - 1);
}

std::string Desktop::visible_titles() const {
  std::string ids;
  xdotool({"search", "--onlyvisible", "--name", "."}, &ids);
  std::string titles;
  for (const std::string& id : lines_of(ids)) titles.append("[").append(title(id)).append("] ");
  return titles;
}

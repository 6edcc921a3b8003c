#include "ui/system_command_hook.h"

#include <set>

#include "ui/dialog_messages.h"

namespace ui {
namespace {

// Process-wide and unguarded: dialogs run on one thread at a time.
std::set<HookHandle> g_hooks;
HookHandle g_next_hook = 1;
DialogWindow* g_target = nullptr;

}  // namespace

HookHandle InstallSystemCommandHook() {
  const HookHandle hook = g_next_hook++;
  g_hooks.insert(hook);
  return hook;
}

void RemoveSystemCommandHook(HookHandle hook) { g_hooks.erase(hook); }

bool IsSystemCommandHookInstalled(HookHandle hook) { return g_hooks.count(hook) != 0; }

void SetSystemCommandTarget(DialogWindow* window) { g_target = window; }

DialogWindow* SystemCommandTarget() { return g_target; }

void ForgetSystemCommandTarget(DialogWindow* window) {
  if (g_target == window) g_target = nullptr;
}

void ReportSystemCommand() {
  // Every installed hook is called in turn; each posts to the one target.
  for (size_t i = 0; i < g_hooks.size(); ++i) {
    if (g_target != nullptr) g_target->PostMessage(kMsgRefresh, 0, 0);
  }
}

}  // namespace ui

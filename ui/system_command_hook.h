// The thread's system-command hook. A dialog installs a hook when it starts
// and becomes the hook's target; a backend reports every system command
// (window activation and moves, a keyboard layout change) here, and while any
// hook is installed the target is sent the refresh message.
#pragma once

#include "ui/dialog_window.h"

namespace ui {

using HookHandle = int;  // 0: none

HookHandle InstallSystemCommandHook();
void RemoveSystemCommandHook(HookHandle hook);
bool IsSystemCommandHookInstalled(HookHandle hook);

void SetSystemCommandTarget(DialogWindow* window);
DialogWindow* SystemCommandTarget();
// A backend calls this when a window goes away, so that the target never
// names a window that no longer exists (a message to it is simply lost).
void ForgetSystemCommandTarget(DialogWindow* window);

// The hook procedure: posts the refresh message to the target when a hook is
// installed.
void ReportSystemCommand();

}  // namespace ui

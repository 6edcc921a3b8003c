#include "platform/process_protection.h"

#include "platform/win32/windows_api.h"

namespace platform {

// Windows writes a crash dump only where an administrator asked Error
// Reporting for one; what the program can do is show no fault box, which
// would hold the crashed process (and its key) open for a debugger.
void os_protect_process() {
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

}  // namespace platform

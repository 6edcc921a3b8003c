// On Windows the server shows its own dialogs: the Win32 backend, on the
// thread that calls the server (the caller's apartment and message loop).
#pragma once

// Makes the Win32 dialogs and message boxes the active backend, once per
// process; later calls do nothing. Not for DllMain: the backend registers
// window classes.
void use_win32_dialogs();

// Sanitizer builds of the programs that start Qt's GUI only. Qt's offscreen
// platform plugin never frees its screen, and the D-Bus library Qt's xcb
// platform talks through keeps its connection data for the life of the
// process; full stacks at allocation let those be told apart from ours.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\nleak:libdbus-1.so\n"; }

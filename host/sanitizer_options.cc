// Sanitizer builds only. Qt's offscreen platform plugin never frees its
// screen; full stacks at allocation let that one leak be told apart from ours.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\n"; }

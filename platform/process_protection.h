// What a program that opens keys does first: keep its memory out of core
// dumps and away from other processes of the user, and keep the standard
// descriptors taken, so that no file it opens later becomes its output.
#pragma once

namespace platform {

// No core dump and no debugger attaching without privilege (not dumpable,
// core size 0); a standard descriptor that is closed is taken by the null
// device, opened so that writing to it fails (a closed output stays an
// error, never a file of the program's). Call it first thing in main.
void os_protect_process();

}  // namespace platform

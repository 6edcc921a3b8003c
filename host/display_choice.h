// Where no display is there to show windows on, Qt is started on its
// offscreen platform instead of aborting.
#pragma once

// Call before the application object is built, with main's arguments. True
// when it chose the offscreen platform: there is no display, so no dialog or
// message box can reach the user.
bool choose_offscreen_without_display(int argc, char** argv);

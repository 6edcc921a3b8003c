// Where no display is there to show windows on, Qt is started on its
// offscreen platform instead of aborting.
#pragma once

// Call before the application object is built, with main's arguments.
void choose_offscreen_without_display(int argc, char** argv);

// velixhost started by a person on a terminal: --version and --help are
// answered there, before anything else starts (no GUI, no log). A browser
// passes other arguments (the calling extension), which are ignored.
#pragma once

// True when argv[1] is --version, --help or -h; the answer is printed.
bool answer_terminal_options(int argc, char** argv);

// Finds and loads velixhost's dialog module, which lies in the program's
// private library folder at a path fixed, relative to the program, when it is
// built (VELIXHOST_DIALOG_MODULE), so an installed copy and the build tree
// each find their own.
#pragma once

#include <string>

#include "host/dialog_module_interface.h"

// Loads the module (it stays loaded until the process ends) and returns what
// it offers; nullptr with *why set when it is missing, cannot be loaded or
// belongs to another build.
const host_dialogs::Interface* load_dialog_module(std::string* why);

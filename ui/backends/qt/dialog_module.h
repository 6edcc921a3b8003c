// Finds and loads the dialog module, which lies in velix's private library
// folder at a path fixed, relative to the programs' folder, when it is built
// (VELIX_DIALOG_MODULE), so an installed copy and the build tree each find
// their own.
#pragma once

#include <string>

#include "ui/backends/qt/dialog_module_interface.h"

// Loads the module (it stays loaded until the process ends) and returns what
// it offers; nullptr with *why set when it is missing, cannot be loaded or
// belongs to another build.
const dialog_module::Interface* load_dialog_module(std::string* why);

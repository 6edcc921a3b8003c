// The server has no dialogs of its own on Linux: the process that loads it
// hands over the backend that shows its dialogs and message boxes, through
// the extra export VelixcomUseDialogBackend. Without one every dialog fails
// like one that cannot be created, which the signer takes as a cancel.
#pragma once

#include "ui/dialog_backend.h"
#include "ui/message_box.h"

inline constexpr char kVelixcomUseDialogBackend[] = "VelixcomUseDialogBackend";

// Either may be null (none from then on). The caller keeps both alive while
// they are in use, and sets null before it destroys them.
using VelixcomUseDialogBackendFunction = void (*)(ui::DialogBackend* dialogs, ui::MessageBoxBackend* boxes);

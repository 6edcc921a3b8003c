// Builds a Windows in-memory dialog template (DLGTEMPLATEEX) from the
// product's template data, so that the Win32 dialogs and the Qt ones come
// from one source: ui/resources/templates.cc.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/resources/templates.h"

namespace ui::win32 {

// The template as DialogBoxIndirectParamW takes it (DWORD-aligned words).
std::vector<uint32_t> BuildDialogTemplate(const DialogLayout& layout);

// The window class and style a control of `kind` is created with.
const wchar_t* ControlClassName(ControlKind kind);
uint32_t ControlStyle(const ControlLayout& control);

}  // namespace ui::win32

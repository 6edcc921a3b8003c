// The window messages and notification codes that reach a dialog procedure.
// They keep their Windows values so that a Windows backend passes them on.
#pragma once

#include <cstdint>

namespace ui {

class DialogWindow;

constexpr unsigned kMsgDestroy = 0x0002;
constexpr unsigned kMsgNotify = 0x004E;
constexpr unsigned kMsgInitDialog = 0x0110;
constexpr unsigned kMsgCommand = 0x0111;
constexpr unsigned kMsgRefresh = 0x0400 + 1;  // WM_USER + 1
// A character typed on the keyboard that no control of the dialog takes as
// text (wParam: the character, UTF-16). The procedure returns 1 when the
// dialog took note of it, and the key goes no further.
constexpr unsigned kMsgTypedKey = 0x0400 + 2;  // WM_USER + 2

// Command ids with a fixed meaning.
constexpr int kCmdOk = 1;
constexpr int kCmdCancel = 2;

// Dialog results.
constexpr intptr_t kResultOk = 1;
constexpr intptr_t kResultCancel = 2;
constexpr intptr_t kResultFailed = -1;

// Notification codes (the high word of a command's wParam, or NotifyHeader::code).
constexpr int kButtonClicked = 0;
constexpr int kEditSetFocus = 0x0100;
constexpr int kEditChange = 0x0300;
constexpr int kListSelChange = 1;
constexpr int kListDblClk = 2;
constexpr int kComboSelChange = 1;
constexpr int kComboSetFocus = 3;
constexpr int kComboKillFocus = 4;
constexpr int kComboEditChange = 5;
constexpr int kComboDropDown = 7;
constexpr int kComboCloseUp = 8;
constexpr int kComboSelEndOk = 9;
constexpr int kComboSelEndCancel = 10;
constexpr int kTabSelChange = -551;

// The header of a notification (WM_NOTIFY's lParam points at one).
struct NotifyHeader {
  DialogWindow* window;  // the dialog that holds the sending control
  uintptr_t id;
  int code;
};

constexpr uintptr_t MakeCommandParam(int id, int code) {
  return (uintptr_t(uint16_t(code)) << 16) | uint16_t(id);
}
constexpr int CommandId(uintptr_t wparam) { return int(wparam & 0xFFFF); }
constexpr int CommandCode(uintptr_t wparam) { return int((wparam >> 16) & 0xFFFF); }

}  // namespace ui

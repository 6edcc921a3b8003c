# Sourced by the Windows dialog tests: answers a Win32 dialog under Wine on
# the test's Xvfb display with xdotool, like a user. Every wait has a
# deadline; a failure calls the test's own `fail`.
#
# The test sets, before calling:
#   dialog_title      the start of the dialog's title (ASCII)
#   dialog_field      the control id of the field dialog_type fills
#   dialog_text_exe   dialog_text.exe's Windows path inside the prefix
#   dialog_owner_pid  the process that shows the dialog (its end is a failure)
#   test_budget       optional: the SECONDS after which every wait gives up
#
#   dialog_focus             waits for the dialog and focuses it
#   dialog_type TEXT         types TEXT into the focused field until it reads back
#   dialog_press_until_closed KEY
#                            presses KEY until the dialog is gone
#   dialog_windows           the display's windows, for a failure's evidence

# What the driver did, with the run's seconds: a failure's output shows the
# order of keys and windows.
dialog_trace() { echo "[${SECONDS}s] dialog: $*"; }

dialog_visible() { xdotool search --onlyvisible --name "^$dialog_title" 2>/dev/null | head -n1 || true; }

dialog_windows() {
  echo "--- windows with a name (xdotool search --name .):"
  local window name text
  for window in $(xdotool search --name . 2>/dev/null || true); do
    name=$(xdotool getwindowname "$window" 2>/dev/null || true)
    # A message box's text (its static control, 0xFFFF) says what stopped the program.
    text=
    [[ $name == 'Default IME' ]] ||
      text=$(timeout -k 5 20 wine "$dialog_text_exe" "$name" 65535 2>/dev/null | tr -d '\r' || true)
    echo "  $window $name${text:+ (text: $text)}"
  done
  echo "--- xwininfo -root -tree:"
  xwininfo -root -tree 2>&1 | grep -vE '^\s*$' | head -n 80
}

dialog_fail() {
  dialog_windows
  fail "$@"
}

dialog_check_budget() {
  [[ -z ${test_budget:-} ]] || ((SECONDS < test_budget)) || dialog_fail "over $test_budget s, giving up"
}

# The dialog it found is remembered by its window, not its title: the next
# dialog a program shows may carry the same title, and may show before the
# last one is seen gone. (A window id names one window only while its
# program runs: X hands the next program the same ids.)
dialog_window=

dialog_focus() {
  local deadline=$((SECONDS + 60)) window
  while ((SECONDS < deadline)); do
    dialog_check_budget
    window=$(dialog_visible)
    if [[ -n $window ]] && timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null; then
      dialog_window=$window
      dialog_trace "focused $window"
      return 0
    fi
    kill -0 "$dialog_owner_pid" 2>/dev/null || dialog_fail "the program ended without showing '$dialog_title'"
    sleep 0.2
  done
  dialog_fail "no dialog titled '$dialog_title' within 60 s"
}

# The focused dialog is still on the screen.
dialog_still_visible() {
  xdotool search --onlyvisible --name "^$dialog_title" 2>/dev/null | grep -qx "$dialog_window"
}

# The field's text, read from the dialog by another Windows program.
dialog_field_text() {
  timeout -k 10 20 wine "$dialog_text_exe" "$dialog_title" "$dialog_field" 2>/dev/null | tr -d '\r'
}

# xdotool sometimes loses a key: the text is typed again until the field
# reads it back exactly.
dialog_type() {
  local text=$1 try read_back
  for try in 1 2 3; do
    dialog_check_budget
    xdotool key --clearmodifiers ctrl+a BackSpace
    xdotool type --delay 60 "$text"
    read_back=$(dialog_field_text)
    dialog_trace "typed, the field reads '$read_back'"
    [[ $read_back == "$text" ]] && return 0
  done
  dialog_fail "the field never read back '$text'"
}

# A lost key is pressed again, into the same dialog.
dialog_press_until_closed() {
  local key=$1 try deadline
  for try in 1 2 3; do
    xdotool key "$key"
    dialog_trace "pressed $key"
    deadline=$((SECONDS + 10))
    while ((SECONDS < deadline)); do
      dialog_check_budget
      if ! dialog_still_visible; then
        dialog_trace "closed"
        return 0
      fi
      sleep 0.2
    done
    timeout 10 xdotool windowfocus --sync "$dialog_window" 2>/dev/null || dialog_still_visible ||
      { dialog_trace "closed"; return 0; }
    dialog_trace "focused $dialog_window again"
  done
  dialog_fail "the dialog did not close on $key"
}

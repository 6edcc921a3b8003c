#!/usr/bin/env bash
# Smoke tests of the Win32 dialogs under Wine: a probe program opens a dialog
# on a private Xvfb display, xdotool drives it like a user, and the probe's
# report says what the dialog showed and returned.
#   dialog_smoke.sh PROBE.exe PREFIX english|russian|keyboard|threads
set -euo pipefail
probe=$1
prefix=$2
case_name=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_display.sh"

# Set before anything can fail: the way out ends the Wine of this prefix only.
export WINEPREFIX=$prefix
work=$(mktemp -d)
probe_pid=
cleanup() {
  [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null
  wine_display_stop
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- probe said:" >&2
  cat "$work/out" >&2 || true
  echo "--- its errors:" >&2
  tail -n 20 "$work/err" >&2 || true
  exit 1
}

# Starts the probe on a scene; its report goes to $work/out.
start_probe() {
  : >"$work/out"
  timeout 120 wine "$probe" "$1" >"$work/out" 2>"$work/err" &
  probe_pid=$!
}

# Waits until the report has a line matching the regular expression.
wait_line() {
  local pattern=$1 deadline=$((SECONDS + ${2:-60}))
  until grep -qE "$pattern" "$work/out"; do
    [ $SECONDS -lt $deadline ] || fail "no line matching '$pattern'"
    kill -0 "$probe_pid" 2>/dev/null || { sleep 0.5; grep -qE "$pattern" "$work/out" && return; fail "the probe ended before '$pattern'"; }
    sleep 0.2
  done
}

# The window whose title matches, focused; waits for it to appear.
focus_window() {
  local title=$1 deadline=$((SECONDS + 60)) window
  while [ $SECONDS -lt $deadline ]; do
    window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1 || true)
    if [ -n "$window" ] && timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null; then
      echo "$window"
      return 0
    fi
    sleep 0.2
  done
  fail "no window titled '$title' to focus"
}

# Types into the focused edit field until the probe reports exactly `text`
# there: xdotool sometimes loses a key.
type_checked() {
  local text=$1 id=$2 try
  for try in 1 2 3; do
    xdotool key --clearmodifiers ctrl+a BackSpace
    xdotool type --delay 60 "$text"
    local deadline=$((SECONDS + 5))
    while [ $SECONDS -lt $deadline ]; do
      [ "$(grep "^text $id " "$work/out" | tail -n1)" = "text $id $text" ] && return 0
      sleep 0.2
    done
  done
  fail "the field never read back '$text'"
}

wait_probe_end() {
  local deadline=$((SECONDS + 30))
  while kill -0 "$probe_pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || fail "the probe did not end"
    sleep 0.2
  done
  probe_pid=
}

expect_line() {
  grep -qxF "$1" "$work/out" || fail "expected the line '$1'"
}

wine_display_start "$prefix"

case $case_name in
english)
  start_probe sign
  wait_line '^caption '
  expect_line "caption User authorization 1.0.0.345"
  expect_line "item 225 Passphrase:"
  focus_window '^User authorization' >/dev/null
  wait_line '^refresh EN$'
  # Pressing and releasing Alt is a system command (the menu key): the CBT
  # hook has the dialog refresh its layout indicator.
  refreshes=$(grep -c '^refresh' "$work/out")
  xdotool key alt
  deadline=$((SECONDS + 10))
  until [ "$(grep -c '^refresh' "$work/out")" -gt "$refreshes" ]; do
    [ $SECONDS -lt $deadline ] || fail "a system command did not refresh the dialog"
    sleep 0.2
  done
  type_checked 'pass word1' 201
  xdotool key Return
  wait_probe_end
  expect_line "result 1 path=C:\\keys\\secret.key passphrase=pass word1 reask=60"
  ;;
russian)
  wine_display_locale ru_RU.UTF-8
  start_probe sign
  wait_line '^caption '
  expect_line "caption Идентификация пользователя 1.0.0.345"
  expect_line "item 225 Кодовая фраза:"
  expect_line "item 1 Подтвердить"
  # The window's title reaches the X server whole: the search finds it by its Russian text.
  focus_window '^Идентификация пользователя' >/dev/null
  xdotool key Escape
  wait_probe_end
  wait_line '^result 2 path= passphrase= '  # cancelled: nothing handed back

  start_probe box
  focus_window '^Ошибка$' >/dev/null
  xdotool key Return
  wait_probe_end
  expect_line "box 1"

  start_probe dates
  wait_line '^caption '
  expect_line "caption Запрос на выписку"
  focus_window '^Запрос на выписку$' >/dev/null
  today=$(date +%d.%m.%Y)
  xdotool key Return
  wait_probe_end
  # Both pickers start on today, in the Russian short date format.
  [ "$(date +%d.%m.%Y)" = "$today" ] || today=$(date +%d.%m.%Y)
  expect_line "result 1 from=$today to=$today"
  ;;
keyboard)
  start_probe keyboard
  # Focusing the passphrase opens the keyboard below it; its keys are clicked.
  wait_line '^keyboard ready$'
  click_key() {
    local id=$1 count=$2 x y try
    read -r x y < <(awk -v id="$id" '$1 == "key" && $2 == id { print $3, $4 }' "$work/out" | tail -n1)
    for try in 1 2 3; do
      xdotool mousemove --sync "$x" "$y" click 1
      local deadline=$((SECONDS + 5))
      while [ $SECONDS -lt $deadline ]; do
        [ "$(grep -c "^text 201 \*\{$count\}$" "$work/out")" -gt 0 ] && return 0
        sleep 0.2
      done
    done
    fail "clicking key $id did not type"
  }
  # Keys typed on the real keyboard, Space on the focused key among them, type nothing.
  focus_window '^Keyboard$' >/dev/null
  xdotool type --delay 60 'x y'
  sleep 1
  grep -q '^text 201 \*' "$work/out" && fail "keys typed on the real keyboard reached the passphrase"
  shift_x=$(awk '$1 == "key" && $2 == 384 { print $3, $4 }' "$work/out" | tail -n1)
  xdotool mousemove --sync ${shift_x} click 1  # Shift: the next letter is upper case
  click_key 244 1  # a
  click_key 245 2  # b
  click_key 235 3  # 1
  read -r x y < <(awk '$1 == "key" && $2 == 1 { print $3, $4 }' "$work/out" | tail -n1)
  xdotool mousemove --sync "$x" "$y" click 1  # Enter on the keyboard
  focus_window '^User authorization' >/dev/null
  xdotool key Return
  wait_probe_end
  expect_line "result 1 path=C:\\keys\\secret.key passphrase=Ab1 reask=60"
  ;;
threads)
  # Two threads each run a dialog; the probe closes them itself.
  start_probe threads
  wait_line '^threads active '
  wait_probe_end
  expect_line "threads open both"
  expect_line "threads active first=own second=own"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "PASS: $case_name"

#!/usr/bin/env bash
# velixhost.exe signs with its own Win32 dialog, end to end under Wine on a
# private Xvfb display, in a Wine prefix made for this run and removed after
# it. The Linux velix-demo makes the key set and writes the browser's framed
# signMessage request; the settings list the key in the prefix's registry;
# velixhost.exe reads the request on its standard input while xdotool answers
# the authorization dialog like a user; velix-demo then checks the answer's
# document with OpenSSL alone. A second request is cancelled in the dialog.
# Every wait has a deadline; Wine and the display are ended on the way out.
#
# velixhost_dialog_test.sh VELIXHOST_EXE DIALOG_TEXT_EXE VELIX_DEMO KEY_CARD WORK_PARENT
set -euo pipefail

exe=$1 dialog_text=$2 demo=$3 card=$4 parent=$5
. "$(dirname "$0")/dialog_test_setup.sh"

fail() {
  echo "FAIL: $*"
  echo "--- velixhost.exe's errors:"
  cat "$work/host.err" 2>/dev/null || true
  exit 1
}

passphrase='host pass-5'
# The whole run has a deadline well inside ctest's, so that cleanup runs.
dialog_test_start velixhost-dialog "$demo" "$card" "$parent" "$dialog_text" "$passphrase" 300
cp "$exe" "$test_dir/velixhost.exe"
# The user's settings: the key file chosen.
dialog_test_settings

# velixhost.exe answers one framed request; its answer goes to $work/$2.
start_host() {
  local message=$1
  "$demo" request "$message" >"$work/request" || fail "velix-demo could not write the request"
  : >"$work/host.err"
  win 120 'C:\velix-test\velixhost.exe' <"$work/request" >"$work/$2" 2>"$work/host.err" &
  test_pid=$!
  dialog_owner_pid=$test_pid
}

wait_host() {
  local deadline=$((SECONDS + 60)) status
  while kill -0 "$test_pid" 2>/dev/null; do
    ((SECONDS < deadline && SECONDS < test_budget)) || fail "velixhost.exe did not answer"
    sleep 0.2
  done
  wait "$test_pid" && status=0 || status=$?
  test_pid=
  [[ $status -eq 0 ]] || fail "velixhost.exe exited with $status"
}

# A signature: the passphrase typed, read back, Enter; the answer's document
# verifies against the key made on Linux.
start_host 'Pay 10 to ACME, invoice 7' signed.out
dialog_focus
dialog_type "$passphrase"
dialog_press_until_closed Return
wait_host
"$demo" check "$work/public.pem" <"$work/signed.out" >"$work/check" 2>&1 || { cat "$work/check"; fail "the answer's document does not verify"; }
grep -q 'Pay 10 to ACME, invoice 7' "$work/check" || fail "the document lacks its message"
tail -c +5 "$work/signed.out" | grep -q '"reason":"ok"' || fail "the answer's reason is not ok"

# Cancel: an empty text, error 0 and the reason, as the page is told.
start_host 'Pay 12 to ACME' cancelled.out
dialog_focus
dialog_press_until_closed Escape
wait_host
expected='{"action":"signMessage","error":0,"result":{"reason":"cancelled","value":""},"type":"velixcom","uid":"e2e"}'
answer=$(tail -c +5 "$work/cancelled.out")
[[ $answer == "$expected" ]] || fail "the cancelled answer is $answer, not $expected"
length=$(head -c 4 "$work/cancelled.out" | od -An -tu4 | tr -d ' ')
[[ $length == "${#expected}" ]] || fail "the cancelled answer's frame says $length bytes, not ${#expected}"
echo "velixhost_dialog_test: passed"

#!/usr/bin/env bash
# velixcom.dll signs with its own Win32 dialog, end to end under Wine on a
# private Xvfb display, in a Wine prefix made for this run and removed after
# it. The Linux velix-demo makes the key set (the secret key file, and the
# public key as PEM); the settings list the key in the prefix's registry; a
# script (sign_with_dialog.js) signs under cscript while xdotool answers the
# authorization dialog like a user; velix-demo then checks both documents
# with OpenSSL alone, and the Linux velix checks the detached signature of a
# binary file (and that one changed byte breaks it). Every wait has a
# deadline; Wine and the display are ended on the way out.
#
# velixcom_dialog_test.sh DLL DIALOG_TEXT_EXE SCRIPT VELIX_DEMO KEY_CARD WORK_PARENT VELIX
set -euo pipefail

dll=$1 dialog_text=$2 script=$3 demo=$4 card=$5 parent=$6 velix=$7
. "$(dirname "$0")/dialog_test_setup.sh"

fail() {
  echo "FAIL: $*"
  echo "--- the script said:"
  cat "$work/out" 2>/dev/null || true
  exit 1
}

if [[ ! -x $velix ]]; then
  echo "SKIP: no Linux velix at $velix to check the file signature (build the Linux tree first)"
  exit 77
fi
passphrase='dlg pass-7'
# The whole run has a deadline well inside ctest's, so that cleanup runs.
dialog_test_start velixcom-dialog "$demo" "$card" "$parent" "$dialog_text" "$passphrase" 480

# The script's output (lines end in CR LF) has a line matching the pattern.
has_line() { tr -d '\r' <"$work/out" | grep -qE "$1"; }
wait_line() {
  local pattern=$1 deadline=$((SECONDS + 60))
  until has_line "$pattern"; do
    ((SECONDS < deadline)) || fail "no line matching '$pattern'"
    kill -0 "$test_pid" 2>/dev/null || { has_line "$pattern" && return; fail "the script ended before '$pattern'"; }
    sleep 0.2
  done
}

cp "$dll" "$test_dir/velixcom.dll"
cp "$script" "$test_dir/sign_with_dialog.js"
# The file to sign: every byte value, NUL and CR LF among them, then a line
# of Windows-1251 text (an invoice line in Russian).
{
  for ((i = 0; i < 256; i++)); do printf "\\$(printf %03o "$i")"; done
  printf '\r\n\xd1\xf7\xb8\xf2 7: 10,00\r\n'
} >"$test_dir/data.bin"
cp "$test_dir/data.bin" "$work/data.bin"
win 120 regsvr32 /s 'C:\velix-test\velixcom.dll' || fail "regsvr32 exited with $?"

# The user's settings: the key file chosen, the passphrase typed into the
# dialog's own field, and "ask again in 5 minutes".
dialog_test_settings '"ReaskIndex"=dword:00000002' '"VK"=dword:00000000'

: >"$work/out"
timeout -k 10 300 wine cscript //nologo 'C:\velix-test\sign_with_dialog.js' >"$work/out" 2>&1 &
test_pid=$!
dialog_owner_pid=$test_pid

# The first signature: the passphrase typed, read back, Enter.
wait_line '^step sign with the dialog$'
dialog_focus
dialog_type "$passphrase"
dialog_press_until_closed Return

# The second object signs without a dialog; after Reset the dialog shows
# again and is cancelled.
wait_line '^step cancel the dialog$'
dialog_focus
dialog_press_until_closed Escape

deadline=$((SECONDS + 60))
while kill -0 "$test_pid" 2>/dev/null; do
  ((SECONDS < deadline)) || fail "the script did not end"
  sleep 0.2
done
wait "$test_pid" && status=0 || status=$?
test_pid=
tr -d '\r' <"$work/out"
[[ $status -eq 0 ]] || fail "the script exited with $status"
[[ $(tr -d '\r' <"$work/out" | tail -n 1) == "sign_with_dialog.js finished: 0 failures" ]] ||
  fail "the script did not finish cleanly"

# Both documents verify with OpenSSL against the key made on Linux.
for name in first second; do
  [[ -s $test_dir/$name.txt ]] || fail "no $name document"
  "$demo" verify "$work/public.pem" <"$test_dir/$name.txt" || fail "the $name document does not verify"
done
grep -q 'Pay 10 to ACME, invoice 7' "$test_dir/first.txt" || fail "the first document lacks its message"
grep -q 'Pay 11 to ACME, invoice 8' "$test_dir/second.txt" || fail "the second document lacks its message"

# The file's detached signature verifies with the Linux velix against the
# key's public card, and fails once one byte of the file is changed.
[[ -s $test_dir/data.sig ]] || fail "no file signature"
cmp -s "$test_dir/data.bin" "$work/data.bin" || fail "signing changed the signed file"
"$velix" verify --detached "$test_dir/data.sig" "$work/data.bin" --cards "$work/Public.iks" ||
  fail "the file signature does not verify (velix exited with $?)"
printf '\xd2' | dd of="$work/data.bin" bs=1 seek=260 conv=notrunc status=none
cmp -s "$test_dir/data.bin" "$work/data.bin" && fail "the changed copy of the file is not changed"
if "$velix" verify --detached "$test_dir/data.sig" "$work/data.bin" --cards "$work/Public.iks"; then
  fail "the file signature verifies a changed file"
else
  status=$?
  [[ $status -eq 1 ]] || fail "velix exited with $status for a changed file, want 1 (a bad signature)"
fi
echo "velixcom_dialog_test: passed"

#!/usr/bin/env bash
# velixhost.exe under Wine against the Linux velixhost: the same requests that
# show no dialog, each to a fresh process of both, must give the same framed
# answers byte for byte and the same log lines (times, the program's folder
# and the line ends aside). Each side starts with no settings (a Wine prefix
# and a home made for this run, removed after it); settings written by one
# request are read back by the next.
#
# host_compare_test.sh VELIXHOST_EXE LINUX_VELIXHOST WORK_PARENT
set -euo pipefail

exe=$1 linux_host=$2 parent=$3
if [ ! -x "$linux_host" ]; then
  echo "the Linux velixhost is not built at $linux_host"
  exit 77
fi
. "$(dirname "$0")/wine_test_prefix.sh"
wine_test_prefix "$parent" host-compare
# Wine names the profile folder after the user, so this one's logs go to a
# folder whose name no single ANSI code page can spell.
export USER='Иван_Ωμέγα' LOGNAME='Иван_Ωμέγα'

wine_test_prefix_boot
mkdir -p "$WINEPREFIX/drive_c/velix" "$work/home"
cp "$exe" "$WINEPREFIX/drive_c/velix/velixhost.exe"

# A request in the browser's framing: its length (4 bytes, little-endian), then the JSON.
frame() {
  local n=${#1}
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((n & 255)) $((n >> 8 & 255)) $((n >> 16 & 255)) $((n >> 24 & 255)))"
  printf '%s' "$1"
}

# The log lines of one side, the times and the "run from" folder taken out,
# and without the PKCS#11 engines' search for token libraries, whose file
# names are each system's own (.dll, .so).
log_lines() {
  tr -d '\r' <"$1" | sed -E 's/^[0-9]{2}::[0-9]{2}::[0-9]{2} /TIME /; s/^(TIME \[[A-Z]\]: run from +).*$/\1FOLDER/' |
    grep -vE '^TIME \[D\]: ENGINE_PKCS11[A-Z_]*: '
}

requests=(
  '{"type":"velixcom","uid":"1","action":"version","args":{}}'
  '{"type":"velixcom","uid":"2","action":"useScreenKbd","args":{"useScreenKbd":true,"language":"ru","session":"s-1"}}'
  '{"type":"velixcom","uid":"3","action":"language","args":{}}'
  '{"type":"velixcom","uid":"4","action":"session","args":{}}'
  '{"type":"velixcom","uid":"5","action":"reset","args":{}}'
  '{"type":"velixcom","uid":"6","action":"useScreenKbd","args":{}}'
  '{"type":"velixcom","uid":"\ud800","action":"version","args":{}}'
  '{"type":"velixcom","uid":"7","action":"state"}'
  '{"type":"velixcom","uid":"8","action":"noSuchAction"}'
  '{"uid":9'
)

for i in "${!requests[@]}"; do
  request=${requests[$i]}
  frame "$request" >"$work/request"
  rm -rf "$work/home/velixhost" "$WINEPREFIX"/drive_c/users/*/velixhost
  status=0
  (cd "$work/home" && HOME=$work/home XDG_CONFIG_HOME= QT_QPA_PLATFORM=vnc timeout -k 5 60 "$linux_host" \
    <"$work/request" >"$work/linux.out" 2>"$work/linux.err") || status=$?
  [ "$status" = 0 ] || fail "$request: the Linux host exited with $status: $(cat "$work/linux.err")"
  status=0
  timeout -k 5 120 wine 'C:\velix\velixhost.exe' <"$work/request" >"$work/windows.out" 2>"$work/windows.err" ||
    status=$?
  [ "$status" = 0 ] || fail "$request: velixhost.exe exited with $status: $(cat "$work/windows.err")"
  if ! cmp -s "$work/linux.out" "$work/windows.out"; then
    fail "$request: the answers differ:
  Linux:   $(od -An -c "$work/linux.out" | tr -s ' ' | head -c 600)
  Windows: $(od -An -c "$work/windows.out" | tr -s ' ' | head -c 600)"
  fi
  [ -s "$work/linux.out" ] || fail "$request: no answer"
  linux_log=$(ls "$work"/home/velixhost/*.log 2>/dev/null | head -n1 || true)
  windows_log=$(ls "$WINEPREFIX"/drive_c/users/*/velixhost/*.log 2>/dev/null | head -n1 || true)
  if [ -z "$linux_log" ] || [ -z "$windows_log" ]; then
    fail "$request: a log is missing (Linux: ${linux_log:-none}, Windows: ${windows_log:-none})"
  elif ! diff <(log_lines "$linux_log") <(log_lines "$windows_log") >"$work/log.diff"; then
    fail "$request: the logs differ (< Linux, > Windows):
$(cat "$work/log.diff")"
  fi
done

if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "host_compare: ${#requests[@]} requests, the same answers and logs"

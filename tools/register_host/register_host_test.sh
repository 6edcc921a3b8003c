#!/usr/bin/env bash
# velix-register-host.exe under Wine, in a Wine prefix made for this run and
# removed after it: registering writes both manifests and points the four
# browsers' registry keys at them, reading the values back from the registry;
# a second run replaces them; unregistering removes keys and manifests, and
# says so; a wrong command line gives 2. The program sits in a folder whose
# name holds a quote and a character outside ASCII.
#
# register_host_test.sh EXE WORK_PARENT
set -euo pipefail

exe=$1 parent=$2
. "$(dirname "$0")/../../tests/windows/wine_test_prefix.sh"
wine_test_prefix "$parent" register-host-test
win() { timeout -k 10 60 wine "$@"; }

wine_test_prefix_boot

drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/$install_dir" "$drive_c/velix-test"
cp "$exe" "$drive_c/$install_dir/velix-register-host.exe"
program="C:\\${install_dir//\//\\}\\velix-register-host.exe"
host="C:\\${install_dir//\//\\}\\velixhost.exe"

# The default value of HKEY_CURRENT_USER\KEY; fails when the key is not there.
default_value() {
  local text
  text=$(wine_registry_export "HKEY_CURRENT_USER\\$1") || return 1
  sed -n 's/^@="\(.*\)"$/\1/p' <<<"$text" | sed 's/\\\\/\\/g; s/\\"/"/g'
}

name=org.velix.host
keys=(
  "Software\\Google\\Chrome\\NativeMessagingHosts\\$name"
  "Software\\Chromium\\NativeMessagingHosts\\$name"
  "Software\\Microsoft\\Edge\\NativeMessagingHosts\\$name"
  "Software\\Mozilla\\NativeMessagingHosts\\$name"
)
kinds=(chromium chromium chromium firefox)

# The host's path as it must stand in the manifests' JSON.
json_host=${host//\\/\\\\}
declare -A manifest_of
check_registered() {
  local i value unix
  for i in "${!keys[@]}"; do
    if ! value=$(default_value "${keys[$i]}") || [ -z "$value" ]; then
      fail "$1: no default value in HKEY_CURRENT_USER\\${keys[$i]}"
      continue
    fi
    case $value in
      *'\velix\NativeMessagingHosts\'"${kinds[$i]}\\$name.json") ;;
      *) fail "$1: ${keys[$i]} names $value" ;;
    esac
    manifest_of[$i]=$value
    unix=$(winepath -u "$value" 2>/dev/null)
    if [ ! -f "$unix" ]; then
      fail "$1: ${keys[$i]} names a manifest that is not there: $value"
      continue
    fi
    grep -qF "\"name\": \"$name\"," "$unix" || fail "$1: $value: wrong name: $(cat "$unix")"
    grep -qF "\"path\": \"$json_host\"," "$unix" || fail "$1: $value: wrong host path: $(cat "$unix")"
    if [ "${kinds[$i]}" = chromium ]; then
      grep -qF '"allowed_origins": ["chrome-extension://' "$unix" || fail "$1: $value: no allowed_origins"
    else
      grep -qF '"allowed_extensions": ["' "$unix" || fail "$1: $value: no allowed_extensions"
    fi
  done
}

out=$(win "$program" 2>&1) || fail "register: exit $?: $out"
check_registered register
[ "$(grep -c '  registered: HKEY_CURRENT_USER\\' <<<"$out")" = 4 ] || fail "register: output: $out"

# A second run replaces what the first one wrote, and leaves no stray file.
out=$(win "$program" --all 2>&1) || fail "register again: exit $?: $out"
check_registered "register again"
manifests=$(winepath -u "${manifest_of[0]}" 2>/dev/null)
manifests=${manifests%/chromium/*}
[ "$(find "$manifests" -type f | wc -l)" = 2 ] || fail "register again: files: $(find "$manifests" -type f)"

out=$(win "$program" --unregister 2>&1) || fail "unregister: exit $?: $out"
for i in "${!keys[@]}"; do
  if default_value "${keys[$i]}" >/dev/null; then fail "unregister: HKEY_CURRENT_USER\\${keys[$i]} is still there"; fi
done
[ "$(grep -c '  removed: HKEY_CURRENT_USER\\' <<<"$out")" = 4 ] || fail "unregister: output: $out"
[ -z "$(find "$manifests" -type f)" ] || fail "unregister: manifests left: $(find "$manifests" -type f)"

out=$(win "$program" --unregister 2>&1) || fail "unregister again: exit $?: $out"
[ "$(grep -c '  was not registered' <<<"$out")" = 4 ] || fail "unregister again: output: $out"

status=0
win "$program" --chromium-profile x >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "a wrong command line gave $status"

if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "register_host: all checks passed"

#!/usr/bin/env bash
# velixcom.dll end to end under Wine, in a Wine prefix of its own made for
# this run (never the user's) and removed after it: regsvr32 registers the
# server, the registry holds exactly the server's keys, the registered type
# library describes ISigner (typelib_check.exe), a script drives Signer2
# through it (signer2.js), and regsvr32 /u removes every key again.
# Every wait has a deadline; the prefix's processes are ended on the way out.
#
# velixcom_test.sh DLL TYPELIB_CHECK_EXE SCRIPT WORK_PARENT
set -euo pipefail

dll=$1 checker=$2 script=$3 parent=$4
. "$(dirname "$0")/wine_test_prefix.sh"
wine_test_prefix "$parent" velixcom-test

automation_proxy='{00020424-0000-0000-C000-000000000046}'

wine_test_prefix_boot

drive_c=$WINEPREFIX/drive_c

mkdir -p "$drive_c/$install_dir" "$drive_c/velix-test"
cp "$dll" "$drive_c/$install_dir/velixcom.dll"
cp "$checker" "$drive_c/velix-test/typelib_check.exe"
cp "$script" "$drive_c/velix-test/signer2.js"
module_dir="C:\\${install_dir//\//\\}"
module="$module_dir\\velixcom.dll"

# The expected lines, with the identifiers and the module's path put in.
expand() {
  local module_sed=${module//\\/\\\\} dir_sed=${module_dir//\\/\\\\}
  sed -e "s|%CLSID%|$clsid|g; s|%LIBID%|$libid|g; s|%IID%|$iid|g; s|%APPID%|$appid|g" \
      -e "s|%PROXY%|$automation_proxy|g; s|%MODULE%|$module_sed|g; s|%MODULEDIR%|$dir_sed|g"
}

# What the server's own registration writes, exactly.
server_keys=(
  "HKEY_CLASSES_ROOT\\AppID\\$appid"
  "HKEY_CLASSES_ROOT\\AppID\\velixcom.DLL"
  "HKEY_CLASSES_ROOT\\velixcom2.Signer2.2"
  "HKEY_CLASSES_ROOT\\velixcom2.Signer2.1"
  "HKEY_CLASSES_ROOT\\velixcom2.Signer2"
  "HKEY_CLASSES_ROOT\\CLSID\\$clsid"
)
expected_server_keys=$(expand <<'KEYS'
HKEY_CLASSES_ROOT\AppID\%APPID%
HKEY_CLASSES_ROOT\AppID\%APPID%|(Default)|REG_SZ|velixcom
HKEY_CLASSES_ROOT\AppID\velixcom.DLL
HKEY_CLASSES_ROOT\AppID\velixcom.DLL|AppID|REG_SZ|%APPID%
HKEY_CLASSES_ROOT\velixcom2.Signer2.2
HKEY_CLASSES_ROOT\velixcom2.Signer2.2|(Default)|REG_SZ|Signer Class
HKEY_CLASSES_ROOT\velixcom2.Signer2.2\CLSID
HKEY_CLASSES_ROOT\velixcom2.Signer2.2\CLSID|(Default)|REG_SZ|%CLSID%
HKEY_CLASSES_ROOT\velixcom2.Signer2.1
HKEY_CLASSES_ROOT\velixcom2.Signer2.1|(Default)|REG_SZ|Signer Class
HKEY_CLASSES_ROOT\velixcom2.Signer2.1\CLSID
HKEY_CLASSES_ROOT\velixcom2.Signer2.1\CLSID|(Default)|REG_SZ|%CLSID%
HKEY_CLASSES_ROOT\velixcom2.Signer2.1\CurVer
HKEY_CLASSES_ROOT\velixcom2.Signer2.1\CurVer|(Default)|REG_SZ|velixcom2.Signer2.2
HKEY_CLASSES_ROOT\velixcom2.Signer2
HKEY_CLASSES_ROOT\velixcom2.Signer2|(Default)|REG_SZ|Signer Class
HKEY_CLASSES_ROOT\velixcom2.Signer2\CLSID
HKEY_CLASSES_ROOT\velixcom2.Signer2\CLSID|(Default)|REG_SZ|%CLSID%
HKEY_CLASSES_ROOT\velixcom2.Signer2\CurVer
HKEY_CLASSES_ROOT\velixcom2.Signer2\CurVer|(Default)|REG_SZ|velixcom2.Signer2.2
HKEY_CLASSES_ROOT\CLSID\%CLSID%
HKEY_CLASSES_ROOT\CLSID\%CLSID%|(Default)|REG_SZ|Signer Class
HKEY_CLASSES_ROOT\CLSID\%CLSID%|AppID|REG_SZ|%APPID%
HKEY_CLASSES_ROOT\CLSID\%CLSID%\InprocServer32
HKEY_CLASSES_ROOT\CLSID\%CLSID%\InprocServer32|(Default)|REG_SZ|%MODULE%
HKEY_CLASSES_ROOT\CLSID\%CLSID%\InprocServer32|ThreadingModel|REG_SZ|Both
HKEY_CLASSES_ROOT\CLSID\%CLSID%\ProgID
HKEY_CLASSES_ROOT\CLSID\%CLSID%\ProgID|(Default)|REG_SZ|velixcom2.Signer2.2
HKEY_CLASSES_ROOT\CLSID\%CLSID%\Programmable
HKEY_CLASSES_ROOT\CLSID\%CLSID%\TypeLib
HKEY_CLASSES_ROOT\CLSID\%CLSID%\TypeLib|(Default)|REG_SZ|%LIBID%
HKEY_CLASSES_ROOT\CLSID\%CLSID%\VersionIndependentProgID
HKEY_CLASSES_ROOT\CLSID\%CLSID%\VersionIndependentProgID|(Default)|REG_SZ|velixcom2.Signer2
KEYS
)
# What RegisterTypeLib writes for the library and its dual interface (the
# system adds keys of its own beside these).
library_keys=("HKEY_CLASSES_ROOT\\TypeLib\\$libid" "HKEY_CLASSES_ROOT\\Interface\\$iid")
expected_library_values=$(expand <<'VALUES'
HKEY_CLASSES_ROOT\TypeLib\%LIBID%\1.0|(Default)|REG_SZ|velixcom 1.0 Type Library
HKEY_CLASSES_ROOT\TypeLib\%LIBID%\1.0\0\win64|(Default)|REG_SZ|%MODULE%
HKEY_CLASSES_ROOT\TypeLib\%LIBID%\1.0\HELPDIR|(Default)|REG_SZ|%MODULEDIR%
HKEY_CLASSES_ROOT\Interface\%IID%|(Default)|REG_SZ|ISigner
HKEY_CLASSES_ROOT\Interface\%IID%\ProxyStubClsid32|(Default)|REG_SZ|%PROXY%
HKEY_CLASSES_ROOT\Interface\%IID%\TypeLib|(Default)|REG_SZ|%LIBID%
HKEY_CLASSES_ROOT\Interface\%IID%\TypeLib|Version|REG_SZ|1.0
VALUES
)

# Registration.
win 120 regsvr32 /s "$module" || fail "regsvr32 exited with $?"
actual=$(for key in "${server_keys[@]}"; do registry_dump "$key" || true; done)
if [[ $actual != "$expected_server_keys" ]]; then
  fail "the server's keys differ from what registration writes (< expected, > found):"
  diff <(echo "$expected_server_keys") <(echo "$actual") || true
fi
actual=$(for key in "${library_keys[@]}"; do registry_dump "$key" || true; done)
while IFS= read -r line; do
  grep -qxF -- "$line" <<<"$actual" || fail "missing after registration: $line"
done <<<"$expected_library_values"

# The type library and the members' dispatch ids, read by a compiled client.
# Each program's own last line must be there: an exit code alone can come
# from a program that never ran its checks.
output=$(win 120 'C:\velix-test\typelib_check.exe' | tr -d '\r') && status=0 || status=$?
echo "$output"
[[ $status -eq 0 ]] || fail "typelib_check.exe exited with $status"
[[ $(tail -n 1 <<<"$output") =~ ^typelib_check:\ [0-9]+\ members,\ 0\ failures$ ]] ||
  fail "typelib_check.exe did not report a clean run"

# The script.
output=$(win 120 cscript //nologo 'C:\velix-test\signer2.js' | tr -d '\r') && status=0 || status=$?
echo "$output"
[[ $status -eq 0 ]] || fail "signer2.js exited with $status"
[[ $(tail -n 1 <<<"$output") == "signer2.js finished: 0 failures" ]] || fail "signer2.js did not finish cleanly"

# Unregistration: every key is gone; the shared roots stay.
win 120 regsvr32 /s /u "$module" || fail "regsvr32 /u exited with $?"
for key in "${server_keys[@]}" "${library_keys[@]}"; do
  if win 60 reg query "$key" >/dev/null 2>&1; then fail "still there after unregistration: $key"; fi
done
for key in AppID CLSID TypeLib Interface; do
  win 60 reg query "HKEY_CLASSES_ROOT\\$key" >/dev/null 2>&1 || fail "HKEY_CLASSES_ROOT\\$key was removed"
done
# Unregistering what is not registered is no failure.
win 120 regsvr32 /s /u "$module" || fail "a second regsvr32 /u exited with $?"

if [[ $failures -ne 0 ]]; then
  echo "velixcom_test: $failures failures"
  exit 1
fi
echo "velixcom_test: passed"

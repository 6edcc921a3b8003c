#!/usr/bin/env bash
# The Windows installer under Wine, in a Wine prefix of its own made for this
# run (never the user's) and removed after it:
# - the COM keys the installer writes are those regsvr32 writes, key by key;
# - per machine: an older version installed with the site and extension
#   policies, then upgraded (MajorUpgrade): one velix, the files and keys of
#   the new one; Signer2 driven from the installed DLL with no regsvr32
#   (signer2.js); velixhost.exe, found through the registry's manifest,
#   answers a framed request; msiexec /x leaves no file and no key of velix,
#   while the user's settings and key files stay;
# - per user (MSIINSTALLPERUSER=1 ALLUSERS=""): the same in the user's local
#   application data and HKCU, and nothing in HKLM (no script: Wine creates
#   objects of the machine's classes only).
# Every wait has a deadline; the prefix's processes are ended on the way out.
#
# msi_test.sh MSI MAKE_MSI MSI_INPUTS_DIR CHROMIUM_EXTENSION_ID SIGNER2_JS WORK_PARENT
set -euo pipefail

msi=$1 make_msi=$2 inputs=$3 extension_id=$4 script=$5 parent=$6
. "$(dirname "$0")/wine_test_prefix.sh"
wine_test_prefix "$parent" msi-test

com_keys=("AppID\\$appid" 'AppID\velixcom.DLL' velixcom2.Signer2.2 velixcom2.Signer2.1 velixcom2.Signer2
  "CLSID\\$clsid" "TypeLib\\$libid" "Interface\\$iid")
host_keys=('Software\Google\Chrome\NativeMessagingHosts\org.velix.host'
  'Software\Microsoft\Edge\NativeMessagingHosts\org.velix.host'
  'Software\Mozilla\NativeMessagingHosts\org.velix.host')
sites='https://bank.example https://*.bank.example'
policy_options=(ALLOWEDSITES="$sites" ALLOWDEVELOPMENTORIGINS=1 ONLYALLOWEDSITES=1
  CHROMEEXTENSIONURL=https://velix.example/update.xml EDGEEXTENSIONURL=https://velix.example/update.xml
  FIREFOXEXTENSIONURL=https://velix.example/velix.xpi)

wine_test_prefix_boot
drive_c=$WINEPREFIX/drive_c
cp "$msi" "$drive_c/velix.msi"
# The previous version: the same programs, an older version number.
"$make_msi" "$drive_c/velix-old.msi" 0.9.0 "$inputs/programs" "$inputs/manifests" "$inputs/docs" "$extension_id"
mkdir -p "$drive_c/velix-test"
cp "$script" "$drive_c/velix-test/signer2.js"

# The COM keys under one classes root (HKLM or HKCU Software\Classes), the
# install folder written as INSTALLDIR and the type library's help folder
# without its last backslash (RegisterTypeLib writes it without, the
# installer's folder property ends with one).
com_dump() {
  local root=$1 dir=$2 key
  for key in "${com_keys[@]}"; do registry_dump "$root\\Software\\Classes\\$key" || true; done |
    sed -e "s|^$root\\\\Software\\\\Classes\\\\||" -e 's#^\(.*\\HELPDIR|(Default)|REG_SZ|.*\)\\$#\1#' |
    DIR=$dir awk '{ i = index($0, ENVIRON["DIR"]); if (i) $0 = substr($0, 1, i - 1) "INSTALLDIR" substr($0, i + length(ENVIRON["DIR"])); print }'
}
# Everything of velix in the registry files and on drive C:, for the
# before-and-after comparison: the registry's lines that name velix or one of
# its GUIDs (without Wine's time stamps), and the file names.
state() {
  timeout 60 wineserver -w || true
  for hive in system.reg user.reg; do
    sed -e '/^#time=/d' -e 's/^\(\[.*\]\) [0-9]*$/\1/' "$WINEPREFIX/$hive" |
      grep -iE "velix|${clsid:1:8}|${libid:1:8}|${iid:1:8}|${appid:1:8}" | sed "s/^/$hive: /"
  done
  (cd "$drive_c" && find . -ipath '*velix*' ! -path './velix-test*' ! -path './velix.msi' ! -path './velix-old.msi' \
    ! -path ./velix-registry-export.reg | LC_ALL=C sort)
}
# velixhost.exe found as a browser finds it: the key names the manifest, the
# manifest names the program (relative to its own folder); it must answer a
# framed version request.
host_answers() {
  local key=$1 manifest program answer
  manifest=$(registry_dump "$key" | awk -F'|' '$2 == "(Default)" { print $4 }')
  [[ -n $manifest ]] || { fail "$key names no manifest"; return; }
  manifest=$(winepath -u "$manifest" 2>/dev/null)
  [[ -f $manifest ]] || { fail "the manifest $manifest of $key is missing"; return; }
  program=$(sed -n 's/.*"path": "\([^"]*\)".*/\1/p' "$manifest")
  [[ $program == velixhost.exe ]] || fail "the manifest names $program, not velixhost.exe beside it"
  answer=$(printf '\x3a\0\0\0{"type":"velixcom","uid":"1","action":"version","args":{}}' |
    win 60 "$(dirname "$manifest")/$program" | tail -c +5 | tr -d '\0') || true
  [[ $answer == *'"uid":"1"'* && $answer == *'"value":"1.0.0.345"'* ]] ||
    fail "velixhost.exe through $key answered: $answer"
}

before=$(state)

# The reference: what regsvr32 writes for the DLL at the installer's path.
machine_dir='C:\Program Files\velix'
mkdir -p "$drive_c/Program Files/velix"
cp "$inputs/programs/velixcom.dll" "$drive_c/Program Files/velix/"
win 120 regsvr32 /s "$machine_dir\\velixcom.dll" || fail "regsvr32 exited with $?"
reference=$(com_dump HKEY_LOCAL_MACHINE "$machine_dir")
win 120 regsvr32 /s /u "$machine_dir\\velixcom.dll" || fail "regsvr32 /u exited with $?"
rm -rf "$drive_c/Program Files/velix"
[[ $(echo "$reference" | grep -c "InprocServer32|(Default)|REG_SZ|INSTALLDIR\\\\velixcom.dll") -eq 1 ]] ||
  fail "regsvr32 wrote no InprocServer32 path"

echo "-- per machine: the previous version, then the upgrade"
win 180 msiexec /i 'C:\velix-old.msi' /qn "${policy_options[@]}" || fail "installing 0.9.0 exited with $?"
win 180 msiexec /i 'C:\velix.msi' /qn "${policy_options[@]}" || fail "the upgrade exited with $?"
products=$(registry_dump 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall' |
  awk -F'|' '$2 == "DisplayName" && $4 == "velix" { n++ } $2 == "DisplayVersion" { v[$1] = $4 } END { print n + 0 }')
[[ $products -eq 1 ]] || fail "$products velix products are installed after the upgrade"
for file in velixcom.dll velixhost.exe velix-register-host.exe org.velix.host.chromium.json \
  org.velix.host.firefox.json LICENSE.txt COPYRIGHT.txt; do
  [[ -f "$drive_c/Program Files/velix/$file" ]] || fail "not installed: $file"
done
installed=$(com_dump HKEY_LOCAL_MACHINE "$machine_dir")
if [[ $installed != "$reference" ]]; then
  fail "the installer's COM keys differ from regsvr32's (< regsvr32, > installer):"
  diff <(echo "$reference") <(echo "$installed") || true
fi
for key in "${host_keys[@]}"; do host_answers "HKEY_LOCAL_MACHINE\\$key"; done
policy=$(registry_dump 'HKEY_LOCAL_MACHINE\Software\Policies\VelixCom')
for line in "AllowedSites|REG_SZ|$sites" 'AllowDevelopmentOrigins|dword:00000001' 'OnlyAllowedSites|dword:00000001'; do
  grep -qF "|$line" <<<"$policy" || fail "site policy: no $line in: $policy"
done
registry_dump 'HKEY_LOCAL_MACHINE\Software\Policies\Google\Chrome\ExtensionInstallForcelist' |
  grep -qF "|$extension_id|REG_SZ|$extension_id;https://velix.example/update.xml" || fail "no Chrome force-install entry"
registry_dump 'HKEY_LOCAL_MACHINE\Software\Policies\Mozilla\Firefox' |
  grep -qF '|ExtensionSettings|REG_SZ|{"velix-extension@velix.org":{"installation_mode":"force_installed","install_url":"https://velix.example/velix.xpi"}}' ||
  fail "no Firefox ExtensionSettings"

output=$(win 120 cscript //nologo 'C:\velix-test\signer2.js' | tr -d '\r') && status=0 || status=$?
echo "$output"
[[ $status -eq 0 && $(tail -n 1 <<<"$output") == "signer2.js finished: 0 failures" ]] ||
  fail "signer2.js did not pass against the installed DLL"

# The user's own settings and key files, which no uninstall removes.
win 60 reg add 'HKCU\Software\VelixCom' /v ReaskIndex /t REG_DWORD /d 3 /f >/dev/null || fail "reg add exited with $?"
mkdir -p "$drive_c/users/Public/keys"
echo 'a key file' >"$drive_c/users/Public/keys/secret.key"
win 180 msiexec /x 'C:\velix.msi' /qn || fail "msiexec /x exited with $?"
user_data='user.reg: \[Software\\\\VelixCom\]|user.reg: "ReaskIndex"=dword:00000003|velixhost'
diff <(echo "$before") <(echo "$(state | grep -vE "$user_data")") || fail "per machine: velix left this behind (> lines)"
registry_dump 'HKEY_CURRENT_USER\Software\VelixCom' | grep -qF '|ReaskIndex|dword:00000003' ||
  fail "the uninstall removed the user's settings"
[[ -f "$drive_c/users/Public/keys/secret.key" ]] || fail "the uninstall removed the user's key file"

echo "-- per user"
# The site policy is the machine's: a per-user install writes none of it.
win 180 msiexec /i 'C:\velix.msi' /qn MSIINSTALLPERUSER=1 ALLUSERS="" ALLOWEDSITES="$sites" ||
  fail "the per-user install exited with $?"
if registry_dump 'HKEY_LOCAL_MACHINE\Software\Policies\VelixCom' >/dev/null; then fail "per user: the site policy is written"; fi
user_dir=$(win 30 cmd /c echo '%LOCALAPPDATA%' | tr -d '\r')'\Programs\velix'
[[ -f $(winepath -u "$user_dir\\velixcom.dll" 2>/dev/null) ]] || fail "per user: no velixcom.dll in $user_dir"
installed=$(com_dump HKEY_CURRENT_USER "$user_dir")
[[ $installed == "$reference" ]] || { fail "per user: the COM keys differ from regsvr32's:"; diff <(echo "$reference") <(echo "$installed") || true; }
for key in "${host_keys[@]}"; do
  host_answers "HKEY_CURRENT_USER\\$key"
  if registry_dump "HKEY_LOCAL_MACHINE\\$key" >/dev/null; then fail "per user: HKEY_LOCAL_MACHINE\\$key is written"; fi
done
if registry_dump "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$clsid" >/dev/null; then fail "per user: the class is in HKLM"; fi
# No script here: Wine's HKEY_CLASSES_ROOT shows the machine's classes only,
# not the user's (Windows merges both), so a per-user class cannot be created.
win 180 msiexec /x 'C:\velix.msi' /qn ALLUSERS="" || fail "the per-user msiexec /x exited with $?"
diff <(echo "$before") <(echo "$(state | grep -vE "$user_data")") || fail "per user: velix left this behind (> lines)"

if [[ $failures -ne 0 ]]; then
  echo "msi_test: $failures failures"
  exit 1
fi
echo "msi_test: passed"

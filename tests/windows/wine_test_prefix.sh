# Sourced by the Windows script tests: a Wine prefix of the test's own (never
# the user's), made under a parent folder for this run and removed after it,
# with no display (a window nobody can close must not hold the test) and no
# Mono or Gecko installers; failures are counted, not fatal.
#
#   wine_test_prefix PARENT NAME   sets $work, exports WINEPREFIX, arms the cleanup
#   wine_test_prefix_boot          makes the prefix, with a deadline
#   wine_registry_export KEY       the key's export as UTF-8 text, on stdout
#   registry_dump KEY              its keys and values, one a line
#   $install_dir                   a folder under C:\ for the programs under test

wine_test_prefix() {
  mkdir -p "$1"
  work=$(mktemp -d "$1/$2.XXXXXX")
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  trap wine_test_prefix_remove EXIT
}

wine_test_prefix_remove() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}

wine_test_prefix_boot() {
  timeout -k 10 300 wineboot -i >/dev/null 2>&1 || { echo "FAIL: the Wine prefix could not be made"; exit 1; }
}

# Programs are installed in a folder whose name holds a single quote and a
# character outside ASCII (the euro sign, in UTF-8; both ANSI pages the
# product meets have it).
install_dir="Program Files/velix's "$'\xe2\x82\xac'

# Read from an export (UTF-16, so that every character survives) rather than
# from reg query's output in the console's code page. Fails when the key is
# not there.
wine_registry_export() {
  local file=$WINEPREFIX/drive_c/velix-registry-export.reg
  rm -f "$file"
  timeout -k 10 60 wine reg export "$1" 'C:\velix-registry-export.reg' /y >/dev/null 2>&1 || return 1
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r'
}

# The keys under a registry key, and their values, one a line: KEY, or
# KEY|NAME|TYPE|DATA.
registry_dump() {
  wine_registry_export "$1" | awk '
    function unquote(text) { gsub(/\\\\/, "\001", text); gsub(/\\"/, "\"", text); gsub(/\001/, "\\", text); return text }
    /^\[/ { key = substr($0, 2, length($0) - 2); print key; next }
    /^@="/ { print key "|(Default)|REG_SZ|" unquote(substr($0, 4, length($0) - 4)); next }
    /^"/ {
      n = index($0, "\"=")
      name = unquote(substr($0, 2, n - 2)); data = substr($0, n + 2)
      if (data ~ /^".*"$/) print key "|" name "|REG_SZ|" unquote(substr(data, 2, length(data) - 2))
      else print key "|" name "|" data
    }'
}

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs a Windows program with a deadline. The whole run has one too (budget,
# 600 s unless the test sets another), well inside ctest's, so that the way
# out (cleanup) always runs.
budget=${budget:-600}
win() {
  local seconds=$1
  shift
  if ((SECONDS > budget)); then
    echo "FAIL: over ${budget} s, giving up before: $*"
    exit 1
  fi
  timeout -k 10 "$seconds" wine "$@"
}

# velixcom's identity: the class, its type library, its interface and AppID.
clsid='{53943CD7-F8C5-4887-ADE2-946E5B7A8F97}'
libid='{B2570F73-9295-429D-B10A-8AF640E81946}'
iid='{4CAA87BD-1295-462A-98C6-54F368E0ACF7}'
appid='{D58EB931-759A-4B2F-89E9-72E8210BAB16}'

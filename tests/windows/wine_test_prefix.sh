# Sourced by the Windows script tests: a Wine prefix of the test's own (never
# the user's), made under a parent folder for this run and removed after it,
# with no display (a window nobody can close must not hold the test) and no
# Mono or Gecko installers; failures are counted, not fatal.
#
#   wine_test_prefix PARENT NAME   sets $work, exports WINEPREFIX, arms the cleanup
#   wine_test_prefix_boot          makes the prefix, with a deadline

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

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

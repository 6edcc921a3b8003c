# Sourced by the Windows signing tests that answer a dialog: a work folder
# and a Wine prefix of the run's own on a private Xvfb display, the key set
# made by the Linux velix-demo, and C:\velix-test with the key file and the
# field reader. The way out ends the program under test, Wine in this prefix
# only and the display, and removes everything.
#
# The test defines `fail` (which prints its own evidence) and `test_pid`'s
# program, then:
#   dialog_test_start NAME DEMO KEY_CARD WORK_PARENT DIALOG_TEXT_EXE PASSPHRASE BUDGET
#       skips (77) without velix-demo; sets $work and $test_dir
#   dialog_test_settings [REGISTRY LINE...]
#       lists the key file as the user's chosen key, with more values of the
#       same key if given, in the prefix's registry
#   win SECONDS PROGRAM [ARG...]
#       runs a Windows program with a deadline, inside the run's budget

dialog_test_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$dialog_test_here/../e2e/win32/wine_display.sh"
. "$dialog_test_here/dialog_driver.sh"

test_pid=
dialog_test_cleanup() {
  [[ -z $test_pid ]] || kill "$test_pid" 2>/dev/null || true
  wine_display_stop
  timeout 30 wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}

dialog_test_start() {
  local name=$1 demo=$2 card=$3 parent=$4 dialog_text=$5 passphrase=$6
  test_budget=$7
  if [[ ! -x $demo ]]; then
    echo "SKIP: no Linux velix-demo at $demo to make and check the keys (build the Linux tree first)"
    exit 77
  fi
  mkdir -p "$parent"
  work=$(mktemp -d "$parent/$name.XXXXXX")
  # Set before anything can fail: the way out ends the Wine of this prefix only.
  export WINEPREFIX=$work/prefix
  trap dialog_test_cleanup EXIT
  dialog_title='User authorization' dialog_field=201 dialog_text_exe='C:\velix-test\dialog_text.exe'

  # The key set (secret.key, public.pem, Public.iks), made and later checked on the Linux side.
  XDG_CONFIG_HOME=$work/linux-config HOME=$work "$demo" keys "$card" "$work" "$passphrase" "Test key" >/dev/null ||
    fail "velix-demo could not make the keys"

  wine_display_start "$WINEPREFIX" || fail "no Wine display"
  test_dir=$WINEPREFIX/drive_c/velix-test
  mkdir -p "$test_dir"
  cp "$dialog_text" "$test_dir/dialog_text.exe"
  cp "$work/secret.key" "$test_dir/secret.key"
}

win() {
  local seconds=$1
  shift
  ((SECONDS < test_budget)) || fail "over $test_budget s, giving up"
  timeout -k 10 "$seconds" wine "$@"
}

dialog_test_settings() {
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\SoftWare\VelixCom]' '"KeyIndex"=dword:00000000' '"KeyType"=dword:00000000' "$@" '' \
    '[HKEY_CURRENT_USER\SoftWare\VelixCom\Keys]' '"Test key"="C:\\velix-test\\secret.key"' '' >"$test_dir/settings.reg"
  win 60 reg import 'C:\velix-test\settings.reg' >/dev/null 2>&1 || fail "the settings could not be imported"
}

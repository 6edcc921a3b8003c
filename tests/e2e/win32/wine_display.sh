# Shell helpers for running Windows dialogs under Wine on a private Xvfb
# display. Source this file; every wait has a deadline.
#   wine_display_start PREFIX   Xvfb, a Wine prefix of its own (made once), its locales
#   wine_display_locale NAME    restarts Wine in locale NAME (en_US.UTF-8, ru_RU.UTF-8)
#   wine_display_stop           ends Wine in the prefix and the display

wine_display_fail() {
  echo "wine_display: $*" >&2
  return 1
}

wine_display_start() {
  # VELIX_WINEDEBUG turns on Wine's debug channels to look into a failure.
  export WINEPREFIX=$1 WINEDEBUG=${VELIX_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  unset LANGUAGE
  # The locales Wine takes its code page from, generated beside the prefix
  # (the system may have none but C).
  export LOCPATH
  LOCPATH=$(dirname "$WINEPREFIX")/locale
  mkdir -p "$LOCPATH"
  local name
  for name in en_US ru_RU; do
    [ -d "$LOCPATH/$name.UTF-8" ] || localedef -i "$name" -f UTF-8 "$LOCPATH/$name.UTF-8" >/dev/null 2>&1 ||
      [ -d "$LOCPATH/$name.UTF-8" ] || wine_display_fail "cannot generate the locale $name.UTF-8" || return 1
  done
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  WINE_DISPLAY_XVFB=$!
  local deadline=$((SECONDS + 20))
  until [ -s "$fd_file" ]; do
    [ $SECONDS -lt $deadline ] || { rm -f "$fd_file"; wine_display_fail "Xvfb did not start"; return 1; }
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
  wine_display_locale en_US.UTF-8
  if [ ! -f "$WINEPREFIX/.velix-ready" ]; then
    timeout 180 wineboot -i >/dev/null 2>&1 || wine_display_fail "wineboot failed" || return 1
    timeout 60 wineserver -w
    touch "$WINEPREFIX/.velix-ready"
  fi
}

wine_display_locale() {
  # Wine takes its code page when its server starts.
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  timeout 20 wineserver -w >/dev/null 2>&1 || true
  export LANG=$1 LC_ALL=$1
}

wine_display_stop() {
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_DISPLAY_XVFB:-}" ]; then
    kill "$WINE_DISPLAY_XVFB" 2>/dev/null || true
    wait "$WINE_DISPLAY_XVFB" 2>/dev/null || true
  fi
}

#!/bin/sh
# velix-register-host writes a host manifest only into a folder that nobody
# but the user can change, and says why it will not write into another.
#
#   register-host.test.sh BUILD_BIN_DIR/velix-register-host
set -eu
register=$1
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
passed=0 failed=0

# case NAME EXPECT PREPARE: runs the command for the profile "$work/NAME/profile"
# after PREPARE (shell code, run with $p set to that folder); EXPECT is
# "registered" or the text the refusal must contain.
case_() {
  name=$1 expect=$2 prepare=$3
  p=$work/$name/profile
  mkdir -p "$work/$name/home"
  eval "$prepare"
  status=0
  out=$(HOME=$work/$name/home XDG_CONFIG_HOME=$work/$name/home/.config "$register" --chromium-profile "$p" 2>&1) || status=$?
  manifest=$(readlink -f -- "$p" 2>/dev/null || echo "$p")/NativeMessagingHosts/org.velix.host.json
  if [ "$expect" = registered ]; then
    if [ "$status" = 0 ] && [ "$(stat -c %a "$manifest")" = 644 ] &&
       [ "$(stat -c %a "$(dirname "$manifest")")" = 755 ] && grep -q '"allowed_origins"' "$manifest"; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1)); echo "FAIL $name: expected a registration, got status $status: $out"
    fi
  elif [ "$status" = 1 ] && printf '%s' "$out" | grep -qF "$expect" && [ ! -e "$manifest" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "FAIL $name: expected a refusal saying \"$expect\", got status $status: $out"
  fi
}

case_ new-profile registered ''
case_ own-folder-kept registered 'mkdir -p "$p/NativeMessagingHosts"; chmod 755 "$p/NativeMessagingHosts"'
case_ sticky-folder-above registered 'mkdir -p "$p"; chmod 1777 "$p"'
case_ under-a-link registered 'mkdir -p "$work/$name/real"; ln -s "$work/$name/real" "$p"'
case_ group-writable 'can be written by its group or by others (mode 775)' \
  'mkdir -p "$p/NativeMessagingHosts"; chmod 775 "$p/NativeMessagingHosts"'
case_ others-writable-above 'can be written by its group or by others (mode 777)' 'mkdir -p "$p"; chmod 777 "$p"'
case_ others-writable-before-made 'can be written by its group or by others (mode 757)' \
  'mkdir -p "$work/$name/open"; chmod 757 "$work/$name/open"; p=$work/$name/open/deeper/profile'
case_ link-to-writable-folder 'can be written by its group or by others (mode 777)' \
  'mkdir -p "$work/$name/shared"; chmod 777 "$work/$name/shared"; ln -s "$work/$name/shared" "$p"'
case_ sticky-is-not-enough-for-the-folder-itself 'can be written by its group or by others (mode 1777)' \
  'mkdir -p "$p/NativeMessagingHosts"; chmod 1777 "$p/NativeMessagingHosts"'
if [ "$(id -u)" = 0 ]; then
  case_ another-users-folder 'belongs to another user' \
    'mkdir -p "$p/NativeMessagingHosts"; chown 65534 "$p/NativeMessagingHosts"'
  case_ another-users-folder-above 'belongs to another user' 'mkdir -p "$p"; chown 65534 "$p"'
else
  echo "# not root: the cases of another user's folder are skipped"
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

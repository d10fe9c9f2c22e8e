# Sourced by the desktop window's script tests: the X tools they need (exit
# 77, skipped, without them), a folder of the test's own ($work, removed at
# exit with the app ($app) and the server), poll, find_window, and an Xvfb
# on a free display that only clients holding a random cookie may use. The
# sourcing script defines fail() before calling start_xvfb.

for tool in Xvfb xauth xdotool import identify compare; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (tools/setup.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb=
app=
cleanup() {
  if [[ -n $app ]] && kill -0 "$app" 2>/dev/null; then kill -KILL "$app" 2>/dev/null || true; fi
  if [[ -n $xvfb ]]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a command every 0.1 s for up to $1 seconds.
poll() {
  local limit=$1
  shift
  local tries=$((limit * 10))
  while ((tries-- > 0)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# The app's window into $window, where it is mapped ($app's: the web engine
# may make windows of its own under the pid); meant for poll. A search fails
# now and then while the engine's windows come and go (one gone between its
# listing and its query), and head may leave xdotool writing to a closed
# pipe: neither is a failure, the poll tries again.
find_window() {
  window=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -n1 || true)
  [[ -n $window ]]
}

# Only clients holding a random cookie may use the server: the authority
# file sits in the test's own folder (mktemp -d: the user's alone). The
# server takes the cookie whatever display its entry names; clients look
# for the display's own, added once the number is known. Xvfb picks a free
# display number itself and writes it to fd 3. Sets DISPLAY and $auth.
start_xvfb() {
  auth="$work/Xauthority"
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  (umask 077 && : >"$auth" && xauth -q -f "$auth" add :0 . "$cookie")
  Xvfb -displayfd 3 -auth "$auth" -screen 0 1280x1600x24 -nolisten tcp 3>"$work/display" \
    2>"$work/xvfb.log" &
  xvfb=$!
  poll 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$work/display")"
  xauth -q -f "$auth" add "$DISPLAY" . "$cookie"
}

#!/usr/bin/env bash
# Installs what is missing, builds, assembles the demo library, starts the library server on
# 127.0.0.1:8417 and starts tunehaven under Wine in the user's own Wine prefix (so settings,
# playlists and the song cache persist between runs).
#   With $DISPLAY set: runs on that display until the program is closed.
#   Without a display: runs on a virtual display, saves a screenshot of the running program
#   once its library is loaded (path printed; TH_SCREENSHOT overrides it), then ends the
#   program and the server.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

scripts/deps.sh
scripts/fetch-music.sh >/dev/null
scripts/build.sh native build/native
scripts/build.sh win build/win

library=$(scripts/demo-library.sh | tail -n1)
log="$root/build/native/server.log"
build/native/tunehaven-server "$library" >"$log" 2>&1 &
server_pid=$!
xvfb_pid=
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do grep -q '^tunehaven-server: serving' "$log" && break; sleep 0.1; done
if ! kill -0 "$server_pid" 2>/dev/null; then
  echo "run.sh: the library server did not start (port 8417 taken?); tunehaven starts without it:" >&2
  cat "$log" >&2
fi
echo "run.sh: library server: $(head -n1 "$log")"

# The user's own prefix; Wine never tries to install its .NET or HTML add-ons (no network).
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
exe="$root/build/win/tunehaven.exe"

if [ -n "${DISPLAY:-}" ]; then
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
  wine "$exe"
  exit 0
fi

# No display: a virtual one, a screenshot of the running program, then an orderly end.
display_file=$(mktemp)
Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 8>"$display_file" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$display_file")"
rm -f "$display_file"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
# Wine's own desktop window gives the program a title bar even without a window manager.
wine explorer /desktop=tunehaven,1024x700 "$exe" &
app_pid=$!
# The screenshot waits for the library: the version check, a download of a newer catalogue and
# the tree's build come first.
wait_s=${TH_SCREENSHOT_TIMEOUT:-90}
if wine "$root/build/win/tunehaven-ready.exe" --desktop tunehaven --timeout "$wait_s"; then
  echo "run.sh: the library is loaded"
else
  echo "run.sh: the library was not loaded within $wait_s s; the screenshot shows the program as it is" >&2
fi
sleep 1  # the last repaint after the tree's completion
shot=${TH_SCREENSHOT:-$root/build/tunehaven-screenshot.png}
import -window root "$shot"
echo "run.sh: screenshot of the running program saved to $shot"
wineserver -k 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true

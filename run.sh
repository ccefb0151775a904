#!/usr/bin/env bash
# Installs what is missing, builds, assembles the demo library, starts the library server on
# 127.0.0.1:8417 and starts tunehaven under Wine in the user's own Wine prefix (so settings,
# playlists and the song cache persist between runs).
#   With $DISPLAY set: runs on that display until the program is closed.
#   Without a display: runs on a virtual display, saves a screenshot of the running program
#   once its library is loaded and the first artist is chosen (path printed; TH_SCREENSHOT
#   overrides it), then plays that artist's first song by itself and saves a second one while it plays
#   (TH_SCREENSHOT_PLAYING), then ends the program and the server.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

say() { echo "run.sh: $*"; }
# The steps' own output goes to a log; it is shown only when a step fails.
mkdir -p build
runlog="$root/build/run.log"
: >"$runlog"
step() { "$@" >>"$runlog" 2>&1 || { echo "run.sh: '$*' failed:" >&2; tail -n 40 "$runlog" >&2; exit 1; }; }
say "installing what is missing (Debian packages, once)"
step scripts/deps.sh
say "fetching the demo music (once)"
step scripts/fetch-music.sh
say "building the library server and tools (build/native)"
step scripts/build.sh native build/native
say "building tunehaven for Windows (build/win; the first build takes several minutes)"
step scripts/build.sh win build/win

say "assembling the demo library (once)"
library=$(scripts/demo-library.sh 2>>"$runlog" | tail -n1)
say "starting the library server on 127.0.0.1:8417"
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
# Wine's and the sound library's own messages (no sound card, ...) go to a log, not the screen.
winelog="$root/build/win/wine.log"
: >"$winelog"
prepare_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >>"$winelog" 2>&1 || true
  scripts/wine-fonts.sh "$WINEPREFIX"
}

if [ -n "${DISPLAY:-}" ]; then
  say "starting tunehaven on display $DISPLAY (Wine's messages: $winelog)"
  prepare_prefix
  wine "$exe" >>"$winelog" 2>&1
  exit 0
fi

# No display: a virtual one, a screenshot of the running program, then an orderly end.
say "no display: starting tunehaven on a virtual one"
display_file=$(mktemp)
Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 8>"$display_file" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$display_file")"
rm -f "$display_file"
prepare_prefix
# Wine's own desktop window gives the program a title bar even without a window manager.
wine explorer /desktop=tunehaven,1024x700 "$exe" >>"$winelog" 2>&1 &
app_pid=$!
# The screenshot waits for the library: the version check, a download of a newer catalogue and
# the tree's build come first.
wait_s=${TH_SCREENSHOT_TIMEOUT:-90}
say "waiting for the catalogue and the library tree (at most $wait_s s)"
if wine "$root/build/win/tunehaven-ready.exe" --desktop tunehaven --timeout "$wait_s" 2>>"$winelog"; then
  say "the library is loaded"
else
  echo "run.sh: the library was not loaded within $wait_s s; the screenshot shows the program as it is" >&2
fi
say "choosing the first artist in the tree"
wine "$root/build/win/tunehaven-ready.exe" --desktop tunehaven --timeout 10 --select 2>>"$winelog" ||
  echo "run.sh: no artist with songs was found; the screenshot shows the program as it is" >&2
sleep 1  # the last repaint after the tree's completion
shot=${TH_SCREENSHOT:-$root/build/tunehaven-screenshot.png}
import -window root "$shot"
say "screenshot of the loaded library saved to $shot"
say "playing the first song of that artist"
if wine "$root/build/win/tunehaven-ready.exe" --desktop tunehaven --timeout 60 --play 2>>"$winelog"; then
  say "a song is playing"
else
  echo "run.sh: no song started within 60 s; the screenshot shows the program as it is" >&2
fi
sleep 2  # the position and the time move on
playing=${TH_SCREENSHOT_PLAYING:-$root/build/tunehaven-playing.png}
import -window root "$playing"
say "screenshot of the song playing saved to $playing"
say "ending tunehaven and the server"
wineserver -k 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true

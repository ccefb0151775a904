# Sourced with a build tree's path: exports the Wine environment of that tree and makes sure
# its prefix, its Xvfb display and its persistent wineserver exist.
th_build=$(cd "$1" && pwd)
export WINEPREFIX="$th_build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY

th_display_file="$th_build/xvfb.display"
th_pid_file="$th_build/xvfb.pid"
(
  flock 9
  if [ ! -f "$th_pid_file" ] || ! kill -0 "$(cat "$th_pid_file")" 2>/dev/null; then
    rm -f "$th_display_file"
    # -displayfd picks a free display number and writes it once the server is ready.
    # (fd 9, the lock, is closed for the servers so that they do not hold it forever.)
    Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp >"$th_build/xvfb.log" 2>&1 8>"$th_display_file" 9>&- &
    echo $! >"$th_pid_file"
    for _ in $(seq 100); do [ -s "$th_display_file" ] && break; sleep 0.1; done
  fi
  export DISPLAY=":$(cat "$th_display_file")"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-env: creating the test prefix $WINEPREFIX (about 10 s)" >&2
    wineboot -i >/dev/null 2>&1 9>&- || true
    wineserver -w || true
  fi
  "$(dirname "${BASH_SOURCE[0]}")/wine-fonts.sh" "$WINEPREFIX"
  # Xvfb has no window manager: unmanaged windows are destroyed at once (a managed one waits
  # about 2 s per top-level window) and keep the placement they are given.
  if [ ! -f "$WINEPREFIX/.unmanaged" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 9>&- </dev/null &&
      touch "$WINEPREFIX/.unmanaged"
  fi
  # A persistent server for this prefix; starting it again when it runs is harmless.
  wineserver -p >/dev/null 2>&1 9>&- || true
  # Start Wine's own services here, with their output going nowhere, so that they are not
  # started by the first test and do not hold the test runner's output pipe open.
  wineboot >/dev/null 2>&1 9>&- </dev/null || true
) 9>"$th_build/.wine-env.lock"
export DISPLAY=":$(cat "$th_display_file")"

# Where the client suites find test data and the native tools (Unix paths; under Wine a Unix
# path /a/b is the Windows path Z:\a\b).
th_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TH_REPO_DIR=${TH_REPO_DIR:-$th_repo}
export TH_MUSIC_DIR=${TH_MUSIC_DIR:-${TH_CACHE:-$HOME/.cache/tunehaven}/music}
if [ -z "${TH_NATIVE_DIR:-}" ]; then
  if [ -d "${th_build}-native" ]; then TH_NATIVE_DIR="${th_build}-native"; else TH_NATIVE_DIR="$(dirname "$th_build")/native"; fi
fi
export TH_NATIVE_DIR

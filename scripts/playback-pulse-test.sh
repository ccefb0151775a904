#!/usr/bin/env bash
# Gapless song changes on a real output device: starts a private pulseaudio sound server with a
# null sink of 32-bit float stereo at 48000 Hz (the engine's rate, so that nothing resamples),
# records the sink's monitor while the engine suite plays five short generated modules in order
# through the default device, then has the suite find each module, rendered alone, in the
# recording and check that every join is seamless. The Wine prefix and server are this
# script's own (Wine looks for sound devices when its server starts).
#   scripts/playback-pulse-test.sh BUILD_DIR
# Exits 77 (skipped) with a reason when the sound server or Wine's device cannot be had.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?build tree}" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }

suite=$build/tests/test_playback.exe
[ -f "$suite" ] || { echo "playback-pulse-test: build $suite first"; exit 2; }

# The display and the common Wine settings of the build tree; the prefix is replaced below.
source "$root/scripts/wine-env.sh" "$build"
source "$root/scripts/pulse-env.sh"
pulse_start playback-pulse-test "$build/wineprefix-pulse-playback" "format=float32le rate=48000 channels=2"
export TH_PLAYBACK_PULSE_DIR=$work
# Start the prefix's services before recording, so that the recording holds only the test.
wineserver -p 2>/dev/null
wineboot >/dev/null 2>&1 </dev/null

parec -d nullsink.monitor --format=float32le --channels=2 --rate=48000 --raw >"$work/heard.raw" 2>/dev/null &
recorder=$!
sleep 0.3

run() {  # run FILTER: one case of the suite, its output shown without the sound libraries' noise
  wine "$suite" --gtest_filter="$1" >"$work/test.log" 2>&1
  local rc=$?
  grep -v -E '^(ALSA|Note: Google Test filter)' "$work/test.log"
  return $rc
}

run 'DeviceJoins.FiveSongsPlayInOrderThroughTheDefaultDevice'
rc=$?
sleep 0.3
kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; recorder=
[ $rc -eq 0 ] || exit $rc
grep -q '\[  SKIPPED \]' "$work/test.log" && skip "Wine found no output device with pulseaudio running"
echo "playback-pulse-test: recorded $(($(stat -c %s "$work/heard.raw") / 8)) frames from the sink"

run 'DeviceJoins.RecordingHasEveryFrameAtEachJoin'

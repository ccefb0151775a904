#!/usr/bin/env bash
# Plays through a real output device: starts a private pulseaudio sound server with a null
# sink, runs the audio suite's real-device tests under a Wine prefix and server of their own
# (Wine looks for sound devices when its server starts, so the shared server of the build tree
# would not see this one), and checks from the sink's monitor that sound arrived.
#   scripts/audio-pulse-test.sh BUILD_DIR
# Exits 77 (skipped) with a reason when the sound server or Wine's device cannot be had.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?build tree}" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }

# The display and the common Wine settings of the build tree; the prefix is replaced below.
source "$root/scripts/wine-env.sh" "$build"
source "$root/scripts/pulse-env.sh"
pulse_start audio-pulse-test "$build/wineprefix-pulse"

parec -d nullsink.monitor --format=s16le --channels=2 --rate=44100 --raw >"$work/heard.raw" 2>/dev/null &
recorder=$!

wine "$build/tests/test_audio.exe" --gtest_filter='RealDevice.*' >"$work/test.log" 2>&1
rc=$?
kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; recorder=
grep -v '^ALSA' "$work/test.log"
[ $rc -eq 0 ] || exit $rc
grep -q '\[  SKIPPED \]' "$work/test.log" && skip "Wine found no output device with pulseaudio running"

# The test played a square wave: the monitor must have heard more than silence.
peak=$(od -An -v -td2 -w2 "$work/heard.raw" | awk '{v = $1 < 0 ? -$1 : $1; if (v > m) m = v} END {print m + 0}')
echo "audio-pulse-test: peak level recorded from the sink: $peak of 32767"
[ "$peak" -gt 1000 ] || { echo "FAILED: nothing audible reached the sound server"; exit 1; }

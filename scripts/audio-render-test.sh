#!/usr/bin/env bash
# Checks the render tool end to end: a real module renders to a float WAV file of the length
# the module has, --loop renders exactly the seconds asked for, and a file that is no module
# fails with a message and writes nothing.
#   scripts/audio-render-test.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?build tree}" && pwd)
source "$root/scripts/wine-env.sh" "$build"
tool=$build/tunehaven-render.exe
song=$TH_MUSIC_DIR/gl-117-data/loser.s3m
[ -f "$song" ] || { echo "SKIPPED: $song is missing (scripts/fetch-music.sh)"; exit 77; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

frames=$(wine "$tool" "$song" "$work/once.wav" 2>/dev/null | tr -d '\r')
[ "$frames" = 1228800 ] || fail "loser.s3m rendered $frames frames, not 25.6 s at 48000 Hz"
size=$(stat -c %s "$work/once.wav")
[ "$size" = $((1228800 * 8 + 58)) ] || fail "once.wav has $size bytes"
[ "$(head -c 4 "$work/once.wav")" = RIFF ] || fail "once.wav is no RIFF file"

frames=$(wine "$tool" "$song" "$work/loop.wav" --rate 22050 --loop 40 --interp sinc --ramp normal \
  --surround 2 --pansep 80 2>/dev/null | tr -d '\r')
[ "$frames" = $((22050 * 40)) ] || fail "--loop 40 rendered $frames frames"

echo "not a module" >"$work/text.mod"
wine "$tool" "$work/text.mod" "$work/text.wav" >/dev/null 2>"$work/err"; rc=$?
[ $rc = 1 ] || fail "a text file gave exit code $rc"
grep -q "not a playable module" "$work/err" || fail "no message for a text file"
[ ! -e "$work/text.wav" ] && [ ! -e "$work/text.wav.part" ] || fail "a file was written for a text file"
wine "$tool" "$song" 2>/dev/null; rc=$?
[ $rc = 2 ] || fail "a missing argument gave exit code $rc"
echo "render tool: ok"

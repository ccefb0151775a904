#!/usr/bin/env bash
# Checks the render tool end to end: a real module renders to a float WAV file of the length
# the module has, --loop renders exactly the seconds asked for, and a file that is no module
# fails with a message and writes nothing; real modules cut short render as openmpt123 renders
# them, and each sub-song of a module renders as openmpt123 renders that sub-song.
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
# Real modules whose last bytes are missing (common in real archives) play, and sound as Debian's
# openmpt123 renders the same cut files (up to the end of ours: openmpt123 adds a short fade).
if command -v openmpt123 >/dev/null; then
  # Two builds of the replayer (ours cross-compiled, Debian's native) round the mixed samples
  # a little differently: equal means within 1e-4 (-80 dB) everywhere.
  g++ -O2 -x c++ -o "$work/samecmp" - <<'CPP' || fail "cannot build the comparison"
#include <cmath>
#include <cstdio>
#include <cstdlib>
int main(int argc, char** argv) {
    FILE* a = std::fopen(argv[1], "rb"); FILE* b = std::fopen(argv[2], "rb");
    long skip = std::atol(argv[3]), count = std::atol(argv[4]), at = 0;
    if (!a || !b || std::fseek(a, skip, SEEK_SET) != 0) return 2;
    float x, y;
    for (; at < count && std::fread(&x, 4, 1, a) == 1 && std::fread(&y, 4, 1, b) == 1; at++)
        if (!(std::fabs(x - y) <= 1e-4f)) { std::printf("sample %ld: %g against %g\n", at, x, y); return 1; }
    return at == count ? 0 : 1;
}
CPP
  for rel in tecnoballz-data/high-score.mod heroes-sound-tracks/heroes01.xm gl-117-data/loser.s3m \
             biniax2-data/biniax_common02.it; do
    src=$TH_MUSIC_DIR/$rel
    [ -f "$src" ] || fail "$src is missing"
    size=$(stat -c %s "$src")
    for short in $((size / 100)) 5; do
      cut=$work/cut.${rel##*.}
      head -c $((size - short)) "$src" >"$cut"
      rm -f "$work/cut.wav" "$cut.raw"
      frames=$(wine "$tool" "$cut" "$work/cut.wav" --rate 22050 --ramp off 2>/dev/null | tr -d '\r')
      [ -n "$frames" ] && [ "$frames" -gt 22050 ] || fail "$rel short by $short bytes rendered ${frames:-nothing}"
      openmpt123 --render --output-type raw --samplerate 22050 --filter 2 --ramping 0 --float --force \
        --quiet "$cut" >/dev/null 2>&1 || fail "openmpt123 did not render $rel short by $short bytes"
      "$work/samecmp" "$work/cut.wav" "$cut.raw" 58 $((frames * 2)) ||
        fail "$rel short by $short bytes sounds unlike openmpt123's rendering"
    done
  done
  # A module of three sub-songs of 4.8, 9.6 and 14.4 s: each renders on its own, whole.
  modgen=$TH_NATIVE_DIR/tunehaven-modgen
  [ -x "$modgen" ] || fail "$modgen is missing (scripts/build.sh native)"
  "$modgen" it "$work/three.it" --lead-rows 4 --rows 32 --tail-rows 4 --subsongs 3 >/dev/null ||
    fail "cannot write a module of three sub-songs"
  for k in 0 1 2; do
    rm -f "$work/three.wav" "$work/three.it.raw"
    frames=$(wine "$tool" "$work/three.it" "$work/three.wav" --rate 22050 --ramp off --subsong $k 2>/dev/null |
      tr -d '\r')
    [ "$frames" = $((22050 * 48 * (k + 1) / 10)) ] || fail "sub-song $k rendered ${frames:-nothing} frames"
    openmpt123 --render --output-type raw --samplerate 22050 --filter 2 --ramping 0 --float --force \
      --quiet --subsong $k "$work/three.it" >/dev/null 2>&1 || fail "openmpt123 did not render sub-song $k"
    "$work/samecmp" "$work/three.wav" "$work/three.it.raw" 58 $((frames * 2)) ||
      fail "sub-song $k sounds unlike openmpt123's rendering of it"
  done
  wine "$tool" "$work/three.it" "$work/four.wav" --subsong 3 >/dev/null 2>"$work/err"; rc=$?
  [ $rc = 1 ] && grep -q "no sub-song 3" "$work/err" || fail "a missing sub-song gave exit code $rc"
fi
echo "render tool: ok"

#!/usr/bin/env bash
# Decode throughput of the audio back end (under Wine) next to Debian's native openmpt123 on
# the same demo modules, both at 48000 Hz with linear interpolation and no volume ramping, and
# the CPU use of a playing stream.
#   scripts/audio-bench.sh [BUILD_DIR]      (default build/win; needs bench_AudioBench.exe)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/win}
bench=$build/bench/bench_AudioBench.exe
[ -f "$bench" ] || { echo "audio-bench: build $bench first (cmake --build $build --target bench_AudioBench)" >&2; exit 2; }
command -v openmpt123 >/dev/null || { echo "audio-bench: openmpt123 is not installed" >&2; exit 2; }
music=${TH_MUSIC_DIR:-${TH_CACHE:-$HOME/.cache/tunehaven}/music}

ours=$(mktemp); work=$(mktemp -d)
trap 'rm -rf "$ours" "$work"' EXIT
"$root/scripts/wine-run.sh" "$bench" 2>/dev/null | tr -d '\r' >"$ours"

# Native: CPU time (user + system) of one render per module, written as raw floats.
native_cpu() {
  cp "$1" "$work/in"
  local TIMEFORMAT='%3U %3S'
  { time openmpt123 --render --output-type raw --samplerate 48000 --filter 2 --ramping 0 --float \
      --force --quiet "$work/in" >/dev/null 2>&1; } 2>&1 | awk '{print $1 + $2}'
}

printf '%-34s %9s %12s %12s %7s\n' module "audio s" "ours x rt" "native x rt" ratio
total_audio=0; total_ours=0; total_native=0
while read -r kind name audio cpu; do
  [ "$kind" = decode ] || continue
  file=$(find "$music" -name "$name" -print -quit)
  [ -n "$file" ] || continue
  ncpu=$(native_cpu "$file")
  awk -v n="$name" -v a="$audio" -v o="$cpu" -v c="$ncpu" 'BEGIN {
    o = o > 0 ? o : 0.0001; c = c > 0 ? c : 0.0001
    printf "%-34s %9.1f %12.0f %12.0f %7.2f\n", n, a, a / o, a / c, (a / o) / (a / c) }'
  total_audio=$(awk -v x="$total_audio" -v y="$audio" 'BEGIN {print x + y}')
  total_ours=$(awk -v x="$total_ours" -v y="$cpu" 'BEGIN {print x + y}')
  total_native=$(awk -v x="$total_native" -v y="$ncpu" 'BEGIN {print x + y}')
done <"$ours"
awk -v a="$total_audio" -v o="$total_ours" -v c="$total_native" 'BEGIN {
  if (o > 0 && c > 0) printf "%-34s %9.1f %12.0f %12.0f %7.2f\n", "all", a, a / o, a / c, (a / o) / (a / c) }'
grep '^load' "$ours" | awk '{printf "Slowest BASS_MusicLoad: %s, %.1f ms\n", $2, $3}'
grep '^stream' "$ours" | awk '{printf "CPU of a playing stream (%s, silent output): %.2f %% of one core\n", $2, $3}'

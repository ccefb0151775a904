#!/usr/bin/env bash
# Runs the download benchmark: a library with one 5 MB song served on loopback, fetched by curl
# (native) and by the client's CNet (under Wine), and prints both times and their ratio.
#   tests/bench/NetBench.sh [BUILD]      BUILD: the Windows build tree (default build/win)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build/win}" && pwd)
native=${TH_NATIVE_DIR:-}
for d in "$native" "$build-native" "$root/build/native"; do
  if [ -n "$d" ] && [ -x "$d/tunehaven-server" ]; then native=$d; break; fi
done
[ -x "$native/tunehaven-server" ] || { echo "NetBench.sh: build the native tools first" >&2; exit 1; }

work="$build/bench-net"
lib="$work/library"
if [ ! -f "$lib/Library.xml" ]; then
  rm -rf "$lib"; mkdir -p "$lib/bench"
  # A small module followed by 5 MB of noise: it still loads, and the noise does not compress,
  # so the body on the wire is as large as the song.
  "$native/tunehaven-modgen" xm "$lib/bench/song.xm" --rows 64 >/dev/null
  head -c 5242880 /dev/urandom >>"$lib/bench/song.xm"
  "$native/tunehaven-catalog" "$lib" --quiet --jobs 1 >/dev/null
fi

"$native/tunehaven-server" "$lib" --host 127.0.0.1 --port 0 --base /lib/ --exit-after 600 >"$work/server.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
port=""
for _ in $(seq 100); do
  port=$(sed -n '1s|.*http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$work/server.log")
  [ -n "$port" ] && break; sleep 0.05
done
[ -n "$port" ] || { echo "NetBench.sh: the server did not start" >&2; exit 1; }
url="http://127.0.0.1:$port/lib/"

times=()
for _ in 1 2 3 4 5 6 7; do
  times+=("$(curl -s -o /dev/null -w '%{time_total}' "${url}song.php?id=1")")
done
curl_ms=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 4p | awk '{printf "%.1f", $1 * 1000}')
echo "NetBench.sh: curl ${url}song.php?id=1: median ${curl_ms} ms over 7 runs"

TH_BENCH_URL=$url TH_BENCH_SONG=1 TH_BENCH_CURL_MS=$curl_ms \
  "$root/scripts/wine-run.sh" "$build/bench/bench_NetBench.exe"

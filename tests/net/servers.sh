#!/usr/bin/env bash
# Starts and stops the library servers that the client.net suite talks to over loopback:
# one well-behaved server and one per fault, each on a free port of 127.0.0.1, all serving a
# small generated library. Ports, logs and the library live in STATE (in the build tree).
#   tests/net/servers.sh start STATE
#   tests/net/servers.sh stop STATE
set -euo pipefail
action=${1:?start or stop}
state=${2:?state folder}
faults="drop-half no-length zero-length status-500 bad-gzip slow"

stop() {
  for pidfile in "$state"/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    rm -f "$pidfile"
  done
}

native_dir() {
  local here build
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  build=$(dirname "$state")
  for d in "${TH_NATIVE_DIR:-}" "$build-native" "$here/build/native"; do
    if [ -n "$d" ] && [ -x "$d/tunehaven-server" ] && [ -x "$d/tunehaven-catalog" ]; then
      echo "$d"; return
    fi
  done
  echo "servers.sh: no tunehaven-server found (set TH_NATIVE_DIR or build the native tree)" >&2
  exit 1
}

# Starts one server; its first line names the port it picked.
start_one() {
  local name=$1; shift
  local log="$state/$name.log"
  : >"$log"
  "$native/tunehaven-server" "$state/library" --host 127.0.0.1 --port 0 --base /lib/ \
    --exit-after 1800 "$@" >"$log" 2>"$state/$name.err" &
  echo $! >"$state/$name.pid"
  for _ in $(seq 100); do
    port=$(sed -n '1s|.*http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$log")
    if [ -n "$port" ]; then echo "$port" >"$state/$name.port"; return; fi
    sleep 0.05
  done
  echo "servers.sh: server '$name' did not start:" >&2
  cat "$state/$name.err" >&2
  exit 1
}

case "$action" in
stop)
  stop
  ;;
start)
  native=$(native_dir)
  mkdir -p "$state"
  stop
  rm -f "$state"/*.port "$state"/*.log "$state"/*.err
  lib="$state/library"
  if [ ! -f "$lib/Library.xml" ] || [ ! -f "$lib/Composer/noisy.mod" ]; then
    rm -rf "$lib"
    mkdir -p "$lib/Composer/Sub Folder"
    gen="$native/tunehaven-modgen"
    "$gen" mod "$lib/Composer/first.mod" --title "First" --rows 64 >/dev/null
    "$gen" xm "$lib/Composer/Sub Folder/second.xm" --title "Second" --rows 128 --samples 4 >/dev/null
    "$gen" it "$lib/third.it" --title "Third" --rows 96 >/dev/null
    # Noise after a module still loads and does not compress: a body of several network
    # blocks, so that a slow transfer can be cancelled between two of them.
    "$gen" mod "$lib/Composer/noisy.mod" --title "Noisy" --rows 64 >/dev/null
    head -c 24576 /dev/urandom >>"$lib/Composer/noisy.mod"
    "$native/tunehaven-catalog" "$lib" --quiet --jobs 1 >/dev/null
  fi
  start_one normal
  for fault in $faults; do
    start_one "$fault" --fault "$fault" --slow-seconds 6
  done
  ;;
*)
  echo "usage: servers.sh start|stop STATE" >&2
  exit 2
  ;;
esac

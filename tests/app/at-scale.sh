#!/usr/bin/env bash
# Runs a test executable of the build with the test prefix's screen scale set to DPI dots per
# inch, and puts the prefix's scale back afterwards:
#   tests/app/at-scale.sh DPI EXE [args...]
# Wine reads the scale when a process starts, so it is set before the executable runs.
set -euo pipefail
dpi=$1; shift
exe=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${TH_BUILD_DIR:-}
if [ -z "$build" ]; then
  d=$(cd "$(dirname "$exe")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  build=$d
fi
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh" "$build"

key='HKCU\Control Panel\Desktop'
old=$(wine reg query "$key" /v LogPixels 2>/dev/null </dev/null | tr -d '\r' | awk '$1 == "LogPixels" {print $3}' || true)
restore() {
  if [ -n "$old" ]; then
    wine reg add "$key" /v LogPixels /t REG_DWORD /d $((old)) /f >/dev/null 2>&1 </dev/null || true
  else
    wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1 </dev/null || true
  fi
}
trap restore EXIT
wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null
TH_TEST_DPI=$dpi wine "$@"

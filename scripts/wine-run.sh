#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, never in the user's own prefix:
#   - WINEPREFIX is the build tree's own (BUILD/wineprefix), created on first use;
#   - DISPLAY is the build tree's own Xvfb display, started on first use;
#   - one persistent wineserver per prefix keeps each start under a second.
# The build tree is found from the program's path (the folder holding CMakeCache.txt),
# or given as TH_BUILD_DIR.
set -euo pipefail
exe=$1; shift

build=${TH_BUILD_DIR:-}
if [ -z "$build" ]; then
  d=$(cd "$(dirname "$exe")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  [ -f "$d/CMakeCache.txt" ] || { echo "wine-run: no build tree above $exe" >&2; exit 2; }
  build=$d
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine-env.sh
source "$here/wine-env.sh" "$build"
exec wine "$exe" "$@"

#!/usr/bin/env bash
# Runs the client suites of a build tree under Wine on that tree's own Xvfb display and prefix.
#   scripts/ctest-win.sh [DIR] [ctest args...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-build/win}; [ $# -gt 0 ] && shift
source "$root/scripts/wine-env.sh" "$dir"
export TH_BUILD_DIR=$th_build
cd "$dir" && ctest --output-on-failure "$@"

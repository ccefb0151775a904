#!/usr/bin/env bash
# Configures and builds one build tree.
#   scripts/build.sh win    [DIR] [cmake args...]   the Windows client (default DIR build/win)
#   scripts/build.sh native [DIR] [cmake args...]   the native tools   (default DIR build/native)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kind=${1:?win or native}; shift
dir=${1:-build/$kind}; [ $# -gt 0 ] && shift
jobs=${TH_JOBS:-$(nproc)}
cd "$root"
if [ "$kind" = win ]; then
  openmpt=$("$root/scripts/build-libopenmpt.sh")
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
        -DTH_LIBOPENMPT_DIR="$openmpt" "$@" >/dev/null
else
  cmake -S . -B "$dir" "$@" >/dev/null
fi
set +e
cmake --build "$dir" -j"$jobs" 2>&1 | grep -v -E '^\[ *[0-9]+%\] (Building|Linking|Built)'
rc=${PIPESTATUS[0]}
exit "$rc"

#!/usr/bin/env bash
# Installs what is missing, builds the client (build/win) and the native tools (build/native),
# and runs every test suite through ctest: client suites under Wine on one Xvfb display with
# the build tree's own WINEPREFIX, native suites directly. Exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$root"

scripts/deps.sh || { echo "test.sh: installing dependencies failed" >&2; exit 1; }
scripts/fetch-music.sh >/dev/null || { echo "test.sh: fetching the test music failed" >&2; exit 1; }
scripts/build.sh native build/native || { echo "test.sh: native build failed" >&2; exit 1; }
scripts/build.sh win build/win || { echo "test.sh: client build failed" >&2; exit 1; }
scripts/package.sh build/win || { echo "test.sh: packaging failed" >&2; exit 1; }

source scripts/wine-env.sh build/win
export TH_BUILD_DIR=$th_build
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -f "$th_build/xvfb.pid" ] && kill "$(cat "$th_build/xvfb.pid")" 2>/dev/null
  rm -f "$th_build/xvfb.pid"
}
trap cleanup EXIT

rc=0
echo "== native suites"
(cd build/native && ctest --output-on-failure) 2>&1 | tee build/native/ctest.log | tail -n 40
[ "${PIPESTATUS[0]}" -eq 0 ] || rc=1
echo "== client suites (Wine, display $DISPLAY)"
(cd build/win && ctest --output-on-failure) 2>&1 | tee build/win/ctest.log | tail -n 60
[ "${PIPESTATUS[0]}" -eq 0 ] || rc=1

# One summary line over both trees, in ctest's own words.
passed=0; failed=0
for log in build/native/ctest.log build/win/ctest.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -n1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line"); fail=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  [ -n "$line" ] || { total=0; fail=0; rc=1; echo "test.sh: no ctest summary in $log" >&2; }
  passed=$((passed + total - fail)); failed=$((failed + fail))
done
echo "$passed passed, $failed failed"
exit $rc

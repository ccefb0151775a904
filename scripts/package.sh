#!/usr/bin/env bash
# Builds the release packages from a client build tree:
#   build/dist/tunehaven-<version>-win64.zip    a portable copy: the program, README.txt, licences
#   build/dist/tunehaven-<version>-setup.exe    the per-user installer (NSIS)
# The version is the one of CMakeLists.txt's project(), as the build filled it in.
#   scripts/package.sh [WIN_BUILD]      (default build/win; build it first)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/win}" && pwd)
exe=$build/tunehaven.exe
[ -f "$exe" ] || { echo "package: build $exe first (scripts/build.sh win)" >&2; exit 2; }
command -v makensis >/dev/null && command -v zip >/dev/null ||
  { echo "package: makensis and zip are missing (scripts/deps.sh installs them)" >&2; exit 2; }
version=$(sed -n 's/^#define TH_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/app/Version.h")
[ -n "$version" ] || { echo "package: no version in $build/generated/app/Version.h" >&2; exit 2; }
version4=$(sed -n 's/.*assemblyIdentity type="win32" name="tunehaven" version="\([0-9.]*\)".*/\1/p' \
  "$build/generated/tunehaven.manifest")
openmpt=$(sed -n 's/^TH_LIBOPENMPT_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")

dist=$root/build/dist
stage=$build/package/tunehaven-$version
rm -rf "$build/package"
mkdir -p "$stage/licences" "$dist"
x86_64-w64-mingw32-strip -o "$stage/tunehaven.exe" "$exe"
# Text for Windows users: CRLF line ends.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
sed "s/@VERSION@/$version/" "$root/scripts/package/README.txt" >"$build/package/README.txt"
crlf "$build/package/README.txt" "$stage/README.txt"
# The licences of what is linked in: libopenmpt (built with none of its optional libraries),
# zlib, and the compiler's run-time (libstdc++, libgcc, winpthreads) linked statically.
crlf "$openmpt/share/doc/libopenmpt/LICENSE" "$stage/licences/libopenmpt.txt"
crlf /usr/share/doc/libz-mingw-w64/copyright "$stage/licences/zlib.txt"
crlf /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/gcc-runtime.txt"
crlf /usr/share/doc/mingw-w64-common/copyright "$stage/licences/mingw-w64-winpthreads.txt"

zipfile=$dist/tunehaven-$version-win64.zip
rm -f "$zipfile"
(cd "$build/package" && zip -q -X -r "$zipfile" "tunehaven-$version")
setup=$dist/tunehaven-$version-setup.exe
makensis -V2 -DVERSION="$version" -DVERSION4="$version4" -DSTAGE="$stage" \
  -DICON="$root/src/app/tunehaven.ico" -DOUTFILE="$setup" "$root/scripts/package/tunehaven.nsi" >/dev/null
echo "package: $zipfile"
echo "package: $setup"

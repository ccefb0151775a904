#!/usr/bin/env bash
# Tests the release packages under Wine: the executable imports only libraries every Windows 10
# has; the zip's tunehaven.exe starts and shows its window; the installer installs silently
# into a fresh prefix (program, Start menu shortcut, "Apps & features" entry), the installed
# program starts, an installation over a running copy closes it through its window first, and
# the silent uninstall removes program, shortcut and entry and keeps the user's data and
# settings.
#   scripts/package-test.sh BUILD_DIR
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?build tree}" && pwd)
fail() { echo "FAILED: $*"; exit 1; }

"$root/scripts/package.sh" "$build" >/dev/null || fail "scripts/package.sh"
version=$(sed -n 's/^#define TH_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/app/Version.h")
zip=$root/build/dist/tunehaven-$version-win64.zip
setup=$root/build/dist/tunehaven-$version-setup.exe
ready=$build/tunehaven-ready.exe

# System libraries that every Windows 10 has (lower case, without ".dll").
allowed=" advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt ole32 oleacc oleaut32 shell32 shlwapi user32 uxtheme version winmm wininet "
imports=$(x86_64-w64-mingw32-objdump -p "$build/tunehaven.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no import table read from tunehaven.exe"
for dll in $imports; do
  [[ "$allowed" == *" ${dll%.dll} "* ]] || fail "tunehaven.exe imports $dll, which is not on every Windows 10"
done

# The portable zip, in the build tree's own prefix; the program asks a closed port for its
# library, so it starts at once with what it has.
source "$root/scripts/wine-env.sh" "$build"
work=$(mktemp -d)
fresh=$build/package-prefix
cleanup() {
  WINEPREFIX=$fresh wineserver -k >/dev/null 2>&1
  rm -rf "$work" "$fresh"
}
trap cleanup EXIT
unzip -q "$zip" -d "$work" || fail "the zip does not unpack"
[ -f "$work/tunehaven-$version/tunehaven.exe" ] && [ -f "$work/tunehaven-$version/README.txt" ] &&
  [ -f "$work/tunehaven-$version/licences/libopenmpt.txt" ] || fail "the zip lacks the program, README.txt or the licences"
closed_server() { wine reg add 'HKCU\Software\tunehaven' /v server /d http://127.0.0.1:9/ /f >/dev/null 2>&1; }
closed_server
wine "$work/tunehaven-$version/tunehaven.exe" >/dev/null 2>&1 &
wine "$ready" --timeout 60 --close >/dev/null 2>&1 || fail "the zip's tunehaven.exe did not show its window"
wine reg delete 'HKCU\Software\tunehaven' /f >/dev/null 2>&1

# The installer, in a fresh prefix of its own.
export WINEPREFIX=$fresh
rm -rf "$fresh"
wineboot -i >/dev/null 2>&1 || fail "cannot create the fresh prefix"
wineserver -w  # the prefix's first start has settled (profile folders, shell) before the installer
wineserver -p >/dev/null 2>&1
folder() { winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
appdata=$(folder APPDATA)
localappdata=$(folder LOCALAPPDATA)
installed=$localappdata/Programs/tunehaven
shortcut="$appdata/Microsoft/Windows/Start Menu/Programs/tunehaven.lnk"
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\tunehaven'
wine "$setup" /S >/dev/null 2>&1 || fail "the silent installation failed"
[ -f "$installed/tunehaven.exe" ] && [ -f "$installed/uninstall.exe" ] || fail "no program in $installed"
# Wine's shell writes the shortcut file itself; on a busy machine give it a moment.
for _ in $(seq 50); do [ -f "$shortcut" ] && break; sleep 0.2; done
[ -f "$shortcut" ] || fail "no Start menu shortcut"
for value in "DisplayName:tunehaven" "DisplayVersion:$version" "Publisher:tunehaven developers" \
             "DisplayIcon:tunehaven.exe" "UninstallString:uninstall.exe" "EstimatedSize:0x"; do
  wine reg query "$entry" /v "${value%%:*}" 2>/dev/null | tr -d '\r' | grep -q "${value#*:}" ||
    fail "the uninstall entry lacks ${value%%:*} (${value#*:})"
done

# The installed program starts; an installation over it while it runs closes it first, through
# its window, so that it saves its settings.
closed_server
wine "$installed/tunehaven.exe" >/dev/null 2>&1 &
for _ in $(seq 100); do
  wine reg query 'HKCU\Software\Wine' >/dev/null 2>&1
  [ -d "$appdata/tunehaven" ] && break
  sleep 0.3
done
[ -d "$appdata/tunehaven" ] || fail "the installed program did not start (no data folder)"
sleep 2
wine "$setup" /S >/dev/null 2>&1 || fail "installing over the running program failed"
wine reg query 'HKCU\Software\tunehaven' /v xpos >/dev/null 2>&1 ||
  fail "the running program was not closed through its window (no settings saved)"
[ -f "$installed/tunehaven.exe" ] || fail "the program is missing after installing over it"

# The silent uninstall runs from a copy of itself: wait for it to finish.
wine "$installed/uninstall.exe" /S >/dev/null 2>&1
for _ in $(seq 100); do [ -e "$installed" ] || break; sleep 0.3; done
[ ! -e "$installed" ] || fail "the uninstall left $installed"
[ ! -e "$shortcut" ] || fail "the uninstall left the shortcut"
! wine reg query "$entry" >/dev/null 2>&1 || fail "the uninstall left the uninstall entry"
[ -d "$appdata/tunehaven" ] || fail "the uninstall removed the user's data folder"
wine reg query 'HKCU\Software\tunehaven' /v xpos >/dev/null 2>&1 || fail "the uninstall removed the user's settings"
echo "packages: ok (imports: $(echo $imports | tr '\n' ' '))"

#!/usr/bin/env bash
# Gives a Wine prefix the Marlett font, with which Wine draws the title bar's buttons: Wine 8
# on Debian does not read its own font folder (fonts-wine), and without Marlett the buttons
# show as the letters "0 1 r". Idempotent.
#   scripts/wine-fonts.sh PREFIX
set -euo pipefail
prefix=${1:?Wine prefix}
font=/usr/share/wine/fonts/marlett.ttf
target=$prefix/drive_c/windows/Fonts
[ -f "$font" ] && [ -d "$target" ] || exit 0
[ -f "$target/marlett.ttf" ] || cp "$font" "$target/"

#!/usr/bin/env bash
# Installs what the project needs on a Debian 12 machine (as root), only what is missing,
# then makes sure the cached cross-built libopenmpt exists. Idempotent. Recommended packages
# are installed too: Wine draws windows, text and sound through its recommended X and audio libraries.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64 libz-mingw-w64-dev cmake make
  wine wine64 fonts-wine xvfb xauth x11-apps imagemagick
  googletest
  libopenmpt-dev zlib1g-dev libcpp-httplib-dev g++
  nginx apache2 curl openmpt123 pulseaudio pulseaudio-utils dpkg-dev xdotool nsis zip unzip
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >&2
  apt-get install -y -q "${missing[@]}" >&2
fi
# nginx and Apache are only run by the tests on loopback, never as the system's services.
if command -v systemctl >/dev/null 2>&1; then
  systemctl disable --now nginx >/dev/null 2>&1 || true
  systemctl disable --now apache2 >/dev/null 2>&1 || true
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/build-libopenmpt.sh" >/dev/null

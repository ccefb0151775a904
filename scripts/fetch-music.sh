#!/usr/bin/env bash
# Fetches real tracker modules from Debian packages of games that ship them, unpacks them
# into a cache outside the checkout (never committed) and prints the cache folder.
#   MOD: tecnoballz-data   XM: heroes-sound-tracks   IT: biniax2-data   S3M: gl-117-data
# The unpacked modules are in $TH_CACHE/music/<package>/ (flat, original file names).
set -euo pipefail
cache_root=${TH_CACHE:-$HOME/.cache/tunehaven}
music="$cache_root/music"
packages=(tecnoballz-data heroes-sound-tracks biniax2-data gl-117-data)
mkdir -p "$cache_root/debs" "$music"
for p in "${packages[@]}"; do
  [ -f "$music/$p/.complete" ] && continue
  echo "fetch-music: $p" >&2
  (cd "$cache_root/debs" && ls ${p}_*.deb >/dev/null 2>&1 || apt-get download "$p" >&2 ||
     { apt-get update -q >&2 && apt-get download "$p" >&2; })
  tmp=$(mktemp -d)
  dpkg-deb -x "$(ls "$cache_root"/debs/${p}_*.deb | head -n1)" "$tmp"
  rm -rf "${music:?}/$p"; mkdir -p "$music/$p"
  find "$tmp" -type f \( -iname '*.mod' -o -iname '*.xm' -o -iname '*.s3m' -o -iname '*.it' -o -iname '*.mtm' \) \
    -exec cp {} "$music/$p/" \;
  # Keep the copyright file: it names the composers.
  find "$tmp" -path '*doc*' -name copyright -exec cp {} "$music/$p/copyright" \; -quit
  rm -rf "$tmp"
  touch "$music/$p/.complete"
done
echo "$music"

#!/usr/bin/env bash
# Assembles the demo library on first use and prints its folder on the last line.
#   scripts/demo-library.sh            build it if missing, print the folder
# The modules come from the Debian game packages that scripts/fetch-music.sh unpacks (one
# folder per package, with the package's copyright file), plus one MTM made by our module
# writer. An overrides file names each package's copyright holders as the songs' artists
# where the modules name none. The catalogue builder then measures every song. The library
# lives outside the checkout ($TH_CACHE or ~/.cache/tunehaven, folder demo-library) and is
# assembled only when it is missing; remove that folder to start afresh. A library whose
# catalogue an older builder wrote (one song a module, before sub-songs) has its catalogue
# built again in place, which keeps the songs' ids.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache_root=${TH_CACHE:-$HOME/.cache/tunehaven}
demo="$cache_root/demo-library"
native=${TH_NATIVE_DIR:-$root/build/native}

# What .complete holds once the catalogue is of the current builder's kind.
mark="catalogue with sub-songs"

tools() {
  if [ ! -x "$native/tunehaven-catalog" ] || [ ! -x "$native/tunehaven-modgen" ]; then
    echo "demo-library: building the native tools in $native" >&2
    "$root/scripts/build.sh" native "$native" >&2
  fi
}

if [ -f "$demo/.complete" ] && [ -f "$demo/Library.xml" ]; then
  if ! grep -qxF "$mark" "$demo/.complete"; then
    tools
    echo "demo-library: building the catalogue again with sub-songs" >&2
    "$native/tunehaven-catalog" "$demo" --overrides "$demo/overrides.txt" --quiet >&2
    echo "$mark" >"$demo/.complete"
  fi
  echo "$demo"
  exit 0
fi

tools
music=$("$root/scripts/fetch-music.sh" | tail -n1)

# The copyright holders named in the "Files: *" stanza of a Debian copyright file, one a
# line, without years and e-mail addresses.
holders() {
  awk '
    /^Files:/ { if (grab) exit; infiles = ($2 == "*"); next }
    infiles && /^Copyright:/ { sub(/^Copyright:[ \t]*/, ""); cr = $0; grab = 1; next }
    grab && /^[ \t]/ { cr = cr " " $0; next }
    grab { exit }
    END { if (cr != "") print cr }
  ' "$1" | sed -E 's/<[^>]*>//g; s/[0-9]{4}(-[0-9]{4})?,?//g; s/ and /,/g' | tr ',' '\n' |
    sed -E 's/^[[:space:]]+//; s/[[:space:].]+$//' | grep -v '^$' || true
}

tmp="$demo.tmp.$$"
trap 'rm -rf "$tmp"' EXIT  # a failed run leaves no half library behind
rm -rf "$tmp"
mkdir -p "$tmp"
overrides="$tmp/overrides.txt"
{
  echo "# Artists of the demo library: the copyright holders named by each package."
  echo "# Used where a module names no artist itself (see tunehaven-catalog --help)."
} >"$overrides"
for dir in "$music"/*/; do
  package=$(basename "$dir")
  mkdir -p "$tmp/$package"
  find "$dir" -maxdepth 1 -type f \( -iname '*.mod' -o -iname '*.mtm' -o -iname '*.xm' -o -iname '*.s3m' \
    -o -iname '*.it' \) -exec cp -p {} "$tmp/$package/" \;
  [ -f "$dir/copyright" ] || continue
  cp "$dir/copyright" "$tmp/$package/copyright"
  mapfile -t names < <(holders "$dir/copyright")
  [ "${#names[@]}" -gt 0 ] || continue
  {
    echo "[$package/*]"
    echo "artist = ${names[0]}"
    for name in "${names[@]:1}"; do echo "coop = $name"; done
  } >>"$overrides"
done

# MTM: no Debian package ships one, so the library gets one of ours.
mkdir -p "$tmp/tunehaven"
"$native/tunehaven-modgen" mtm "$tmp/tunehaven/demo-tune.mtm" --title "tunehaven demo tune" \
  --channels 4 --samples 3 --lead-rows 8 --rows 256 --tail-rows 16 >/dev/null
{
  echo "[tunehaven/*]"
  echo "artist = tunehaven"
} >>"$overrides"

"$native/tunehaven-catalog" "$tmp" --overrides "$overrides" --quiet >&2
rm -rf "$demo"
mv "$tmp" "$demo"
echo "$mark" >"$demo/.complete"
echo "$demo"

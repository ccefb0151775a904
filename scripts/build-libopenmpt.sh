#!/usr/bin/env bash
# Cross-builds libopenmpt (Debian's source package) as a static Windows library with every
# optional codec and output disabled, and caches it outside the checkout, keyed by the
# source version and the compiler. Prints the cache folder on its last line.
# The first build takes several minutes on two cores; later runs reuse the cache.
set -euo pipefail

cache_root=${TH_CACHE:-$HOME/.cache/tunehaven}
# One build at a time: a second one started beside it (another checkout's test run) would
# delete the first one's sources. The later one waits here and then finds the cached result.
mkdir -p "$cache_root"
exec 9>"$cache_root/libopenmpt.lock"
flock 9
cxx=x86_64-w64-mingw32-g++-posix
cc=x86_64-w64-mingw32-gcc-posix
cxx_version=$($cxx -dumpfullversion 2>/dev/null || $cxx -dumpversion)

# Private apt configuration: a deb-src entry of our own, no change to the system's sources.
apt_dir="$cache_root/apt-src"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
cat >"$apt_dir/sources.list" <<SRC
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security $suite-security main
SRC
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root")

# The version Debian would build: the installed native package's, else the source index's.
version=$(dpkg-query -W -f='${Version}' libopenmpt-dev 2>/dev/null || true)
if [ -z "$version" ]; then
  apt-get "${apt_opts[@]}" update -qq >&2
  version=$(apt-cache "${apt_opts[@]}" showsrc libopenmpt | awk '/^Version:/ {print $2; exit}')
fi
key="libopenmpt-${version}-mingw64-gcc${cxx_version}-static-nog"
prefix="$cache_root/$key"
if [ -f "$prefix/.complete" ]; then
  echo "libopenmpt: using cached build $prefix" >&2
  echo "$prefix"
  exit 0
fi

echo "libopenmpt: cross-building $version once (several minutes on two cores; cached in $prefix)" >&2
work="$cache_root/build-$key"
rm -rf "$work"; mkdir -p "$work"
(
  cd "$work"
  apt-get "${apt_opts[@]}" update -qq
  apt-get "${apt_opts[@]}" source --download-only "libopenmpt=$version" >/dev/null 2>&1 ||
    apt-get "${apt_opts[@]}" source --download-only libopenmpt >/dev/null
  tar xzf libopenmpt_*.orig.tar.gz
) >&2
src=$(find "$work" -maxdepth 1 -type d -name 'libopenmpt-*' | head -n1)
cd "$src"
./configure --host=x86_64-w64-mingw32 CC=$cc CXX=$cxx \
  CFLAGS="-O2" CXXFLAGS="-O2" \
  --prefix="$prefix" --disable-shared --enable-static \
  --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
  --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
  --without-pulseaudio --without-portaudio --without-portaudiocpp --without-sndfile --without-flac \
  >"$work/configure.log" 2>&1 || { tail -30 "$work/configure.log" >&2; exit 1; }

# Show progress: one line per compiled source file, counted against the total.
total=$(find common soundlib sounddsp libopenmpt -name '*.cpp' | wc -l)
n=0
make -j"$(nproc)" 2>&1 | while IFS= read -r line; do
  case "$line" in
    *--mode=compile*) n=$((n + 1)); printf 'libopenmpt: [%3d of about %d] %s\n' "$n" "$total" "${line##*[\` ]}" >&2 ;;
    *error*) echo "$line" >&2 ;;
  esac
done
[ "${PIPESTATUS[0]}" -eq 0 ] || { echo "libopenmpt: build failed (see $work)" >&2; exit 1; }
make install >"$work/install.log" 2>&1
touch "$prefix/.complete"
rm -rf "$work"
echo "libopenmpt: built and cached in $prefix" >&2
echo "$prefix"

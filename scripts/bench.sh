#!/usr/bin/env bash
# Runs every benchmark and prints its figures (nothing here asserts a time).
#   scripts/bench.sh [WIN_BUILD] [NATIVE_BUILD]     defaults build/win and build/native
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win=$(cd "${1:-$root/build/win}" && pwd)
native=$(cd "${2:-$root/build/native}" && pwd)
cmake --build "$win" --target bench_LibraryBench bench_TreeBench bench_SearchBench bench_CacheBench bench_UnpackBench bench_NetBench bench_AudioBench bench_MutationRun bench_ListBench bench_PlaylistBench bench_FrameBench bench_SoakRun bench_PlaybackBench bench_StartBench -j"$(nproc)" >/dev/null
export TH_NATIVE_DIR=$native

echo "== catalogue: load, memory, lookups";   "$root/scripts/wine-run.sh" "$win/bench/bench_LibraryBench.exe"
echo "== library tree: build of 100,000 songs, memory"; "$root/scripts/wine-run.sh" "$win/bench/bench_TreeBench.exe"
echo "== find in the library: per keystroke, list fill up to every song, memory"; "$root/scripts/wine-run.sh" "$win/bench/bench_SearchBench.exe"
echo "== song cache: scan and eviction";      "$root/scripts/wine-run.sh" "$win/bench/bench_CacheBench.exe"
echo "== song list: show, switch, select and sort 5,000 and 100,000 rows"; "$root/scripts/wine-run.sh" "$win/bench/bench_ListBench.exe"
echo "== gzip bomb: disk taken while a 1 GB bomb is unpacked"; "$root/scripts/wine-run.sh" "$win/bench/bench_UnpackBench.exe"
echo "== playlists: adding 50,000 songs, memory per loaded playlist"; "$root/scripts/wine-run.sh" "$win/bench/bench_PlaylistBench.exe"
echo "== song download: CNet against curl";   "$root/tests/bench/NetBench.sh" "$win"
echo "== audio: decode speed and stream CPU"; "$root/scripts/audio-bench.sh" "$win"
echo "== playback engine: song changes, start, CPU, callback at a change, position"; "$root/scripts/wine-run.sh" "$win/bench/bench_PlaybackBench.exe"
echo "== frame: toolbar images, rebar, layout, position tick"; "$root/scripts/wine-run.sh" "$win/bench/bench_FrameBench.exe"
echo "== robustness: damaged catalogues and playlist files"; "$root/scripts/wine-run.sh" "$win/bench/bench_MutationRun.exe"
echo "== start: window to ready tree, demo size, 100,000 and 200,000 songs, memory"; "$root/scripts/wine-run.sh" "$win/bench/bench_StartBench.exe"
echo "== soak: 1,000 song changes through the main window"; "$root/scripts/wine-run.sh" "$win/bench/bench_SoakRun.exe"
echo "== library server: catalogue build, song.php, slow clients, refused bodies"; "$native/bench_ServerBench" --seconds 3
echo "== library export: re-exported under load behind nginx"; "$native/bench_ExportBench" --rounds 10

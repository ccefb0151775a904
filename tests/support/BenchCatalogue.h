#pragma once
// The catalogue the benchmarks read: a library file of 100,000 songs by about 20,000 artists
// (a tenth of them with one or two co-operating artists, entities in some texts, one song in a
// hundred hidden), generated deterministically so that every run reads the same file.

#include <functional>
#include <string>

namespace th {

constexpr int kBenchSongs = 100000;
constexpr int kBenchArtists = 20000;

// Writes the catalogue to path piece by piece. titleExtra, when given, returns text (already
// escaped for XML) appended to the title of the song with that id.
bool WriteBenchCatalogue(const std::wstring& path,
                         const std::function<std::wstring(int id)>& titleExtra = nullptr);
// The same kind of catalogue with another number of songs and artists.
bool WriteBenchCatalogue(const std::wstring& path, int songs, int artists);

}  // namespace th

#pragma once
// Writes the catalogue file: UTF-16 little-endian with a byte-order mark and the XML
// declaration, every element on a line of its own, texts entity-escaped, as the client's
// reader expects.
#include <cstdint>
#include <string>
#include <vector>

namespace th {

struct CatalogSong {
    int id = 0;
    std::string title, artist, tool, file;  // UTF-8; file with backslashes
    std::vector<std::string> coops;
    int64_t update = 0;
    int flags = 0, type = 0, channels = 0, instruments = 0;
    int64_t size = 0;
    int subsong = 0;  // written as SUBSONG when not 0
    double length = 0, start = 0, end = 0, peak = 0, rms = 0;
};

class CCatalogWriter {
public:
    static constexpr const char* kFileName = "Library.xml";

    virtual ~CCatalogWriter() = default;

    // The SONG elements, as UTF-16 little-endian bytes.
    static std::string SongsSection(const std::vector<CatalogSong>& songs);

    // The whole file around a songs section: header, VERSION, DATE, COUNT, songs, end tag.
    static std::string File(int version, int64_t date, size_t count, const std::string& songsSection);
};

}  // namespace th

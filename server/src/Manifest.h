#pragma once
// The manifest beside the catalogue: which file holds which song id, what was measured the
// last time (so unchanged files are not rendered again) and what the catalogue's version,
// date and content were. It is the memory that keeps ids stable across builds, and the
// server's index of the files it may send.
#include <cstdint>
#include <string>
#include <vector>

#include "ModuleMeasure.h"

namespace th {

// One song id: sub-song 0 of a file, or a further sub-song of it (an entry of its own with the
// same path, listed after the file's first entry). A further sub-song's size, times and hash
// follow its file's first entry.
struct SongEntry {
    int id = 0;
    std::string path;     // below the library folder, '/' separated
    int subsong = 0;      // 0-based sub-song of the module
    bool hidden = false;  // the file is gone or no longer loads; its id stays taken
    int64_t size = 0;
    int64_t mtime = 0;    // seconds since 1970-01-01 UTC
    // When the builder saw the file's content change (the catalogue's UPDATE), in seconds
    // since 1970-01-01 UTC. A file put back with an older time stamp still moves it on.
    int64_t update = 0;
    int64_t ctimeNs = -1;  // the file's status-change time; -1 unknown (an older manifest)
    std::string hash;      // of the file's bytes; empty when unknown (an older manifest)
    // Measured by an older builder: one that counted MOD samples otherwise, or (for sub-song 0,
    // measured.subsongs 0) one that did not look for further sub-songs.
    bool remeasure = false;
    ModuleMeasurement measured;
};

class CManifest {
public:
    static constexpr const char* kFileName = "Library.manifest";

    virtual ~CManifest() = default;

    // Reads the manifest; false with error set when it exists but is damaged. A missing
    // file gives an empty manifest and true (*existed tells which).
    bool Load(const std::string& path, bool* existed, std::string* error);
    // Writes it through a temporary file, so a reader never sees half a manifest.
    bool Save(const std::string& path, std::string* error) const;

    int version = 0;
    int64_t date = 0;
    std::string contentHash;    // of the catalogue's song records
    std::vector<SongEntry> songs;  // songs[i].id == i + 1
};

// Writes bytes to path through a temporary file in the same folder and a rename.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

}  // namespace th

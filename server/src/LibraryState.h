#pragma once
// What the server sends, read from a library folder built by the catalogue builder: the
// catalogue's version, the compressed catalogue and the files of the visible songs.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace th {

class CLibraryState {
public:
    virtual ~CLibraryState() = default;

    // Reads DIR/Library.xml and DIR/Library.manifest. False with error set when either is
    // missing or damaged.
    bool Load(const std::string& folder, std::string* error);

    // Whether the catalogue or manifest on disk changed since Load (a rebuild happened).
    bool Stale() const;

    int Version() const { return version_; }
    int SongCount() const { return static_cast<int>(songs_.size()); }
    const std::string& Folder() const { return folder_; }
    const std::string& CompressedCatalog() const { return catalogGz_; }
    const std::string& Catalog() const { return catalog_; }

    // The gzip-compressed file of a visible song, or null (unknown id, hidden song, file
    // gone). Compressed files are kept in memory up to a limit.
    std::shared_ptr<const std::string> CompressedSong(int id) const;
    // The file path of a visible song, or empty.
    std::string SongPath(int id) const;

    // Parses an id as the client sends it: decimal digits without sign or leading zero,
    // at most 2147483647. 0 when malformed.
    static int ParseId(const std::string& text);

private:
    struct Song {
        std::string path;  // relative, '/' separated
        bool hidden = false;
    };
    struct Stamp {
        int64_t size = -1;
        int64_t mtimeNs = -1;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const std::string& path);

    std::string folder_;
    int version_ = 0;
    std::string catalog_;
    std::string catalogGz_;
    std::vector<Song> songs_;
    Stamp catalogStamp_, manifestStamp_;

    static constexpr size_t kCacheLimit = 256u << 20;
    mutable std::mutex cacheLock_;  // guards cache_ and cacheBytes_ (request threads)
    mutable std::map<int, std::shared_ptr<const std::string>> cache_;
    mutable size_t cacheBytes_ = 0;
};

}  // namespace th

#pragma once
// Exports a library as a static tree that any web server can host, with sample nginx and
// Apache configurations that map the three requests onto it:
//   OUT/www<base>version.php    the version digits
//   OUT/www<base>library.php    the gzip-compressed catalogue
//   OUT/www<base>songs/N.gz     the gzip-compressed file of visible song N
//   OUT/www/.not-found          the empty body of every 404
//   OUT/nginx.conf              a complete nginx configuration serving OUT/www
//   OUT/apache.conf             a complete Apache configuration serving OUT/www
//   OUT/purge.txt               the request paths whose answer this export changed, for a CDN
// A new export over an old one never leaves a client without an answer: new and changed songs
// are written first, then the catalogue, then the version, each replaced in one step, and the
// songs that left the library are removed last.
#include <string>
#include <vector>

namespace th {

struct ExportOptions {
    std::string folder;
    std::string out;
    std::string host = "127.0.0.1";
    int port = 8417;
    std::string base = "/";
};

struct ExportSummary {
    int songs = 0;      // song files in the tree
    int written = 0;    // song files new or changed by this export
    int removed = 0;    // song files removed (hidden songs)
    std::vector<std::string> changed;  // request paths whose answer changed (purge.txt)
};

class CLibraryExport {
public:
    virtual ~CLibraryExport() = default;

    // Writes the tree; returns false with error set on failure.
    static bool Write(const ExportOptions& options, ExportSummary* summary, std::string* error);

    // The configurations for a tree whose web root is the absolute path root.
    static std::string NginxConfig(const ExportOptions& options, const std::string& root);
    static std::string ApacheConfig(const ExportOptions& options, const std::string& root);

    // Cache-Control of each answer, the same from the server and every configuration:
    // the version is looked at again within a minute, the catalogue is revalidated on every
    // request, a song may be kept for a year (a changed song is purged, see purge.txt), and
    // an error is never kept.
    static constexpr const char* kVersionCaching = "public, max-age=60";
    static constexpr const char* kCatalogCaching = "public, no-cache";
    static constexpr const char* kSongCaching = "public, max-age=31536000";
    static constexpr const char* kErrorCaching = "no-store";
};

}  // namespace th

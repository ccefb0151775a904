#pragma once
// Exports a library as a static tree that any web server can host, with a sample nginx
// configuration that maps the three requests onto it:
//   OUT/www<base>version.php    the version digits
//   OUT/www<base>library.php    the gzip-compressed catalogue
//   OUT/www<base>songs/N.gz     the gzip-compressed file of visible song N
//   OUT/www/.not-found          the empty body of every 404
//   OUT/nginx.conf              a complete configuration serving OUT/www
#include <string>

namespace th {

struct ExportOptions {
    std::string folder;
    std::string out;
    std::string host = "127.0.0.1";
    int port = 8417;
    std::string base = "/";
};

class CLibraryExport {
public:
    virtual ~CLibraryExport() = default;

    // Writes the tree; returns false with error set on failure. songs counts the song files.
    static bool Write(const ExportOptions& options, int* songs, std::string* error);

    // The nginx configuration for a tree whose web root is the absolute path root.
    static std::string NginxConfig(const ExportOptions& options, const std::string& root);
};

}  // namespace th

#include "LibraryExport.h"

#include <filesystem>
#include <fstream>

#include "LibraryState.h"
#include "Manifest.h"

namespace th {
namespace fs = std::filesystem;

std::string CLibraryExport::NginxConfig(const ExportOptions& o, const std::string& root) {
    const std::string& b = o.base;
    std::string c;
    c += "# nginx configuration for a tunehaven library exported by tunehaven-server --export.\n";
    c += "# Run it with this folder as the prefix, for example:\n";
    c += "#   nginx -p " + fs::path(root).parent_path().string() + " -c nginx.conf -e stderr -g 'daemon off;'\n";
    c += "# (started as root, nginx's workers switch to an unprivileged user, who must be able to\n";
    c += "# read the tree; add 'master_process off;' to -g to keep a single process instead).\n";
    c += "# Or copy the server block into an existing configuration, or the tree onto any web\n";
    c += "# server or CDN that can map song.php?id=N to songs/N.gz.\n";
    c += "worker_processes 1;\n";
    c += "pid nginx.pid;\n";
    c += "error_log stderr;\n";
    c += "events { worker_connections 256; }\n";
    c += "http {\n";
    c += "    access_log off;\n";
    c += "    client_body_temp_path temp/body;\n";
    c += "    proxy_temp_path temp/proxy;\n";
    c += "    fastcgi_temp_path temp/fastcgi;\n";
    c += "    uwsgi_temp_path temp/uwsgi;\n";
    c += "    scgi_temp_path temp/scgi;\n";
    c += "    types { }\n";
    c += "    default_type application/octet-stream;\n";
    c += "    sendfile on;\n";
    c += "    gzip off;  # the bodies are gzip files already, sent as they are\n";
    c += "    server {\n";
    c += "        listen " + o.host + ":" + std::to_string(o.port) + ";\n";
    c += "        root \"" + root + "\";\n";
    c += "        # Errors are never kept by a cache (a missing song may appear with the next export).\n";
    c += std::string("        add_header Cache-Control \"") + kErrorCaching + "\" always;\n";
    c += "        location = " + b + "version.php {\n";
    c += std::string("            add_header Cache-Control \"") + kVersionCaching + "\";\n";
    c += "        }\n";
    c += "        location = " + b + "library.php {\n";
    c += "            default_type application/gzip;\n";
    c += std::string("            add_header Cache-Control \"") + kCatalogCaching + "\";\n";
    c += "        }\n";
    c += "        location = " + b + "song.php {\n";
    c += "            default_type application/gzip;\n";
    c += std::string("            add_header Cache-Control \"") + kSongCaching + "\";\n";
    c += "            if ($arg_id !~ \"^[1-9][0-9]{0,9}$\") { return 404; }\n";
    c += "            try_files " + b + "songs/$arg_id.gz =404;\n";
    c += "        }\n";
    c += "        location / { return 404; }\n";
    c += "        # Empty 404s: a client that goes by the length alone sees a failure, not a page.\n";
    c += "        error_page 404 /.not-found;\n";
    c += "        location = /.not-found {\n";
    c += "            internal;\n";
    c += std::string("            add_header Cache-Control \"") + kErrorCaching + "\" always;\n";
    c += "        }\n";
    c += "    }\n";
    c += "}\n";
    return c;
}

std::string CLibraryExport::ApacheConfig(const ExportOptions& o, const std::string& root) {
    const std::string& b = o.base;
    const std::string dir = fs::path(root).parent_path().string();
    const std::string modules = "/usr/lib/apache2/modules/";
    std::string c;
    c += "# Apache configuration for a tunehaven library exported by tunehaven-server --export.\n";
    c += "# Run Debian's apache2 with it, for example:\n";
    c += "#   apache2 -f " + dir + "/apache.conf -DFOREGROUND\n";
    c += "# (started as root, Apache's workers switch to the user below, who must be able to read\n";
    c += "# the tree). Or copy the rewrite rules and the sections into an existing site. The .php\n";
    c += "# files are plain files: no PHP module may run them.\n";
    c += "ServerRoot \"" + dir + "\"\n";
    c += "DefaultRuntimeDir temp\n";
    c += "PidFile apache.pid\n";
    c += "ErrorLog apache-error.log\n";
    c += "LogLevel warn\n";
    c += "Listen " + o.host + ":" + std::to_string(o.port) + "\n";
    c += "ServerName " + o.host + "\n";
    c += "User www-data\n";
    c += "Group www-data\n";
    for (const char* m : {"mpm_event", "authz_core", "mime", "headers", "rewrite", "reqtimeout"})
        c += std::string("LoadModule ") + m + "_module " + modules + "mod_" + m + ".so\n";
    c += "# Clients that trickle their requests are cut off instead of holding a worker.\n";
    c += "RequestReadTimeout header=10-20,MinRate=500 body=10\n";
    c += "TypesConfig /dev/null\n";
    c += "AddDefaultCharset Off\n";
    c += "EnableSendfile On\n";
    c += "DocumentRoot \"" + root + "\"\n";
    c += "<Directory />\n    Require all denied\n    AllowOverride None\n</Directory>\n";
    c += "<Directory \"" + root + "\">\n    Require all granted\n    Options None\n</Directory>\n";
    c += "RewriteEngine On\n";
    c += "# song.php?id=N is the file songs/N.gz; only the three requests are answered, everything\n";
    c += "# else (the songs folder itself included) is 404. Error pages are left alone.\n";
    c += "RewriteCond %{ENV:REDIRECT_STATUS} ^$\n";
    c += "RewriteCond %{QUERY_STRING} ^id=([1-9][0-9]{0,9})$\n";
    c += "RewriteRule ^" + b + "song\\.php$ \"" + root + b + "songs/%1.gz\" [L]\n";
    c += "RewriteCond %{ENV:REDIRECT_STATUS} ^$\n";
    c += "RewriteRule !^" + b + "(version|library)\\.php$ - [R=404,L]\n";
    c += "# Empty 404s: a client that goes by the length alone sees a failure, not a page.\n";
    c += "ErrorDocument 404 /.not-found\n";
    c += std::string("Header always set Cache-Control \"") + kErrorCaching + "\" \"expr=%{REQUEST_STATUS} -ge 400\"\n";
    c += "<Files \"version.php\">\n    ForceType application/octet-stream\n";
    c += std::string("    Header set Cache-Control \"") + kVersionCaching + "\"\n</Files>\n";
    c += "<Files \"library.php\">\n    ForceType application/gzip\n";
    c += std::string("    Header set Cache-Control \"") + kCatalogCaching + "\"\n</Files>\n";
    c += "<FilesMatch \"^[0-9]+\\.gz$\">\n    ForceType application/gzip\n";
    c += std::string("    Header set Cache-Control \"") + kSongCaching + "\"\n</FilesMatch>\n";
    c += "<Files \".not-found\">\n    ForceType application/octet-stream\n</Files>\n";
    return c;
}

namespace {

// Writes bytes to path unless the file already holds them, so an unchanged answer keeps its
// file (and its validators in a cache). *changed tells whether it was written.
bool Replace(const fs::path& path, const std::string& bytes, bool* changed, std::string* error) {
    std::error_code ec;
    if (fs::file_size(path, ec) == bytes.size() && !ec) {
        std::ifstream in(path, std::ios::binary);
        std::string old(bytes.size(), '\0');
        if (in.read(old.data(), static_cast<std::streamsize>(old.size())) && old == bytes) {
            *changed = false;
            return true;
        }
    }
    *changed = true;
    return WriteFileAtomically(path.string(), bytes, error);
}

// The id of a song file name "N.gz", 0 for any other name.
int SongFileId(const std::string& name) {
    if (name.size() < 4 || name.compare(name.size() - 3, 3, ".gz") != 0) return 0;
    return CLibraryState::ParseId(name.substr(0, name.size() - 3));
}

}  // namespace

bool CLibraryExport::Write(const ExportOptions& o, ExportSummary* summary, std::string* error) {
    *summary = ExportSummary{};
    CLibraryState state;
    if (!state.Load(o.folder, error)) return false;
    std::error_code ec;
    fs::create_directories(o.out, ec);
    const fs::path out = fs::weakly_canonical(fs::path(o.out), ec);
    const fs::path web = out / "www" / fs::path(o.base.substr(1));
    const fs::path songs = web / "songs";
    fs::create_directories(songs, ec);
    fs::create_directories(out / "temp", ec);
    if (ec) {
        *error = "cannot create " + songs.string() + ": " + ec.message();
        return false;
    }
    bool changed = false;
    // New and changed songs first: a client told of the new catalogue finds every song it lists.
    std::vector<bool> visible(static_cast<size_t>(state.SongCount()) + 1, false);
    for (int id = 1; id <= state.SongCount(); ++id) {
        auto gz = state.CompressedSong(id);
        if (!gz) continue;
        visible[static_cast<size_t>(id)] = true;
        if (!Replace(songs / (std::to_string(id) + ".gz"), *gz, &changed, error)) return false;
        ++summary->songs;
        if (!changed) continue;
        ++summary->written;
        summary->changed.push_back(o.base + "song.php?id=" + std::to_string(id));
    }
    if (!Replace(out / "www" / ".not-found", "", &changed, error)) return false;
    // Then the catalogue, then the version that announces it.
    if (!Replace(web / "library.php", state.CompressedCatalog(), &changed, error)) return false;
    if (changed) summary->changed.push_back(o.base + "library.php");
    if (!Replace(web / "version.php", std::to_string(state.Version()), &changed, error)) return false;
    if (changed) summary->changed.push_back(o.base + "version.php");
    // Last, the files of songs that left the library (and anything else in the songs folder).
    std::vector<fs::path> gone;
    for (const auto& entry : fs::directory_iterator(songs, ec)) {
        const int id = SongFileId(entry.path().filename().string());
        if (id > 0 && id < static_cast<int>(visible.size()) && visible[static_cast<size_t>(id)]) continue;
        gone.push_back(entry.path());
        if (id > 0) summary->changed.push_back(o.base + "song.php?id=" + std::to_string(id));
    }
    for (const fs::path& p : gone) {
        if (!fs::remove(p, ec) || ec) {
            *error = "cannot remove " + p.string();
            return false;
        }
        if (SongFileId(p.filename().string()) > 0) ++summary->removed;
    }
    const std::string root = (out / "www").string();
    std::string purge;
    for (const std::string& line : summary->changed) purge += line + "\n";
    return WriteFileAtomically((out / "nginx.conf").string(), NginxConfig(o, root), error) &&
           WriteFileAtomically((out / "apache.conf").string(), ApacheConfig(o, root), error) &&
           WriteFileAtomically((out / "purge.txt").string(), purge, error);
}

}  // namespace th

#include "LibraryExport.h"

#include <filesystem>

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
    c += "        location = " + b + "version.php { }\n";
    c += "        location = " + b + "library.php { default_type application/gzip; }\n";
    c += "        location = " + b + "song.php {\n";
    c += "            default_type application/gzip;\n";
    c += "            if ($arg_id !~ \"^[1-9][0-9]{0,9}$\") { return 404; }\n";
    c += "            try_files " + b + "songs/$arg_id.gz =404;\n";
    c += "        }\n";
    c += "        location / { return 404; }\n";
    c += "        # Empty 404s: a client that goes by the length alone sees a failure, not a page.\n";
    c += "        error_page 404 /.not-found;\n";
    c += "        location = /.not-found { internal; }\n";
    c += "    }\n";
    c += "}\n";
    return c;
}

bool CLibraryExport::Write(const ExportOptions& o, int* songs, std::string* error) {
    *songs = 0;
    CLibraryState state;
    if (!state.Load(o.folder, error)) return false;
    std::error_code ec;
    fs::create_directories(o.out, ec);
    const fs::path out = fs::weakly_canonical(fs::path(o.out), ec);
    const fs::path web = out / "www" / fs::path(o.base.substr(1));
    fs::create_directories(web / "songs", ec);
    fs::create_directories(out / "temp", ec);
    if (ec) {
        *error = "cannot create " + (web / "songs").string() + ": " + ec.message();
        return false;
    }
    if (!WriteFileAtomically((web / "version.php").string(), std::to_string(state.Version()), error) ||
        !WriteFileAtomically((web / "library.php").string(), state.CompressedCatalog(), error))
        return false;
    // Songs that are hidden now lose their file, so the export answers 404 as the server does.
    for (const auto& entry : fs::directory_iterator(web / "songs", ec)) fs::remove(entry.path(), ec);
    for (int id = 1; id <= state.SongCount(); ++id) {
        auto gz = state.CompressedSong(id);
        if (!gz) continue;
        if (!WriteFileAtomically((web / "songs" / (std::to_string(id) + ".gz")).string(), *gz, error)) return false;
        ++*songs;
    }
    if (!WriteFileAtomically((out / "www" / ".not-found").string(), "", error)) return false;
    std::string root = (out / "www").string();
    return WriteFileAtomically((out / "nginx.conf").string(), NginxConfig(o, root), error);
}

}  // namespace th

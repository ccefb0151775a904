#include "LibraryState.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "CatalogWriter.h"
#include "Gzip.h"
#include "Manifest.h"

namespace th {
namespace {

bool ReadFile(const std::string& path, std::string* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *data = s.str();
    return true;
}

}  // namespace

CLibraryState::Stamp CLibraryState::StampOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    return {static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool CLibraryState::Load(const std::string& folder, std::string* error) {
    folder_ = folder;
    const std::string catalogPath = folder + "/" + CCatalogWriter::kFileName;
    const std::string manifestPath = folder + "/" + CManifest::kFileName;
    // Stamps first: a rebuild that lands while we read makes the state stale, not wrong.
    catalogStamp_ = StampOf(catalogPath);
    manifestStamp_ = StampOf(manifestPath);
    if (!ReadFile(catalogPath, &catalog_)) {
        *error = "no catalogue " + catalogPath + " (run tunehaven-catalog on the folder first)";
        return false;
    }
    CManifest manifest;
    bool existed = false;
    if (!manifest.Load(manifestPath, &existed, error)) return false;
    if (!existed) {
        *error = "no manifest " + manifestPath + " (run tunehaven-catalog on the folder first)";
        return false;
    }
    version_ = manifest.version;
    songs_.clear();
    for (const SongEntry& e : manifest.songs) songs_.push_back({e.path, e.hidden});
    auto gz = GzipCompress(catalog_);
    if (!gz) {
        *error = "cannot compress the catalogue";
        return false;
    }
    catalogGz_ = std::move(*gz);
    std::lock_guard<std::mutex> lock(cacheLock_);
    cache_.clear();
    cacheBytes_ = 0;
    return true;
}

bool CLibraryState::Stale() const {
    return !(StampOf(folder_ + "/" + CCatalogWriter::kFileName) == catalogStamp_) ||
           !(StampOf(folder_ + "/" + CManifest::kFileName) == manifestStamp_);
}

int CLibraryState::ParseId(const std::string& text) {
    if (text.empty() || text.size() > 10 || text[0] < '1' || text[0] > '9') return 0;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
    }
    return v > 2147483647LL ? 0 : static_cast<int>(v);
}

std::string CLibraryState::SongPath(int id) const {
    if (id < 1 || id > static_cast<int>(songs_.size())) return {};
    const Song& s = songs_[static_cast<size_t>(id) - 1];
    return s.hidden ? std::string() : folder_ + "/" + s.path;
}

std::shared_ptr<const std::string> CLibraryState::CompressedSong(int id) const {
    {
        std::lock_guard<std::mutex> lock(cacheLock_);
        const auto it = cache_.find(id);
        if (it != cache_.end()) return it->second;
    }
    const std::string path = SongPath(id);
    std::string data;
    if (path.empty() || !ReadFile(path, &data)) return nullptr;
    auto gz = GzipCompress(data);
    if (!gz) return nullptr;
    auto shared = std::make_shared<const std::string>(std::move(*gz));
    std::lock_guard<std::mutex> lock(cacheLock_);
    if (cacheBytes_ + shared->size() <= kCacheLimit) {
        if (cache_.emplace(id, shared).second) cacheBytes_ += shared->size();
    }
    return shared;
}

}  // namespace th

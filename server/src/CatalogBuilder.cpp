#include "CatalogBuilder.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "CatalogWriter.h"
#include "Manifest.h"
#include "ModuleMeasure.h"
#include "Overrides.h"
#include "Text.h"

namespace th {
namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Hash(const std::string& bytes) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a: stable across machines and builds
    for (unsigned char c : bytes) { h ^= c; h *= 1099511628211ull; }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%016llx-%zu", static_cast<unsigned long long>(h), bytes.size());
    return buf;
}

struct ScannedFile {
    std::string path;  // relative, '/' separated
    int64_t size = 0;
    int64_t mtime = 0;
    int64_t ctimeNs = 0;
};

struct Job {
    ScannedFile file;
    int entryIndex = -1;  // index into the manifest's songs, -1 for a new file
    bool ok = false;
    bool sameContent = false;  // the bytes are those the manifest knows: not measured again
    std::string hash;
    std::vector<ModuleMeasurement> results;  // one per sub-song
    std::string error;
};

// Whether a file holds the bytes the manifest knows: by their hash, or for an entry of an
// older builder (no hash) by an unchanged size and time stamp.
bool SameBytes(const SongEntry& e, const Job& job) {
    return e.hash.empty() ? e.size == job.file.size && e.mtime == job.file.mtime : e.hash == job.hash;
}

bool ReadWholeFile(const std::string& path, std::string* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *data = s.str();
    return static_cast<bool>(in) || in.eof();
}

// Names Windows maps to devices in every folder, whatever follows the first dot ("nul.mod",
// "COM0.xm", "conin$.it"), with blanks before the dot ignored; the client refuses them.
bool IsDeviceName(const std::string& part) {
    std::string base = Lower(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (const char* d : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (base == d) return true;
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

std::string FolderArtist(const std::string& relativePath, const std::string& libraryName) {
    const size_t slash = relativePath.rfind('/');
    if (slash == std::string::npos) return libraryName;
    const size_t before = relativePath.rfind('/', slash - 1);
    return relativePath.substr(before == std::string::npos ? 0 : before + 1,
                               slash - (before == std::string::npos ? 0 : before + 1));
}

}  // namespace

std::string CCatalogBuilder::UnsafePathReason(const std::string& relativePath) {
    if (relativePath.empty()) return "empty path";
    if (!IsValidUtf8(relativePath)) return "name is not valid UTF-8";
    // The client keeps the file at its cache folder + FILE, a Windows path that must stay
    // below 260 characters (UTF-16 units, the terminating zero included), and whose folder
    // must stay below 248 for the folder to be created.
    const std::u16string wide = Utf8ToUtf16(relativePath);
    const size_t lastSlash = wide.rfind(u'/');
    if (kCacheFolderChars + wide.size() > 259)
        return "its path in the client's song cache would pass 260 characters (at most " +
               std::to_string(259 - kCacheFolderChars) + " here)";
    if (lastSlash != std::u16string::npos && kCacheFolderChars + lastSlash > 247)
        return "its folder in the client's song cache would pass 248 characters (at most " +
               std::to_string(247 - kCacheFolderChars) + " here)";
    size_t start = 0;
    while (start <= relativePath.size()) {
        size_t slash = relativePath.find('/', start);
        if (slash == std::string::npos) slash = relativePath.size();
        const std::string part = relativePath.substr(start, slash - start);
        // Windows drops trailing dots and blanks: such a name would be "." or ".." there.
        if (part.find_first_not_of(". ") == std::string::npos) return "empty or relative path component";
        for (unsigned char c : part) {
            if (c < 0x20 || c == 0x7F) return "control character in the name";
            if (std::string_view("\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
                return std::string("character '") + static_cast<char>(c) + "' is not allowed in Windows file names";
        }
        if (part.back() == '.' || part.back() == ' ') return "name ends in a dot or space";
        if (IsDeviceName(part)) return "name is a Windows device name";
        start = slash + 1;
    }
    return {};
}

bool CCatalogBuilder::Build(const CatalogOptions& options, CatalogSummary* summary, std::string* error) {
    *summary = CatalogSummary{};
    auto report = [&](const std::string& line) { if (options.report) options.report(line); };
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(fs::path(options.folder), ec);
    if (ec || !fs::is_directory(folder, ec)) {
        *error = "not a folder: " + options.folder;
        return false;
    }
    const std::string manifestPath = (folder / CManifest::kFileName).string();
    const std::string catalogPath = (folder / CCatalogWriter::kFileName).string();

    CManifest manifest;
    bool existed = false;
    if (!manifest.Load(manifestPath, &existed, error)) {
        *error += " (the song ids depend on it: repair or remove it)";
        return false;
    }
    COverrides overrides;
    if (!options.overridesPath.empty() && !overrides.Load(options.overridesPath, error)) return false;

    // Scan. Hidden entries (dot files and folders) and links are left alone: a link could
    // lead out of the library, and the server sends only what lies below it.
    std::vector<ScannedFile> files;
    auto skip = [&](const std::string& path, const std::string& why) {
        ++summary->skipped;
        summary->skippedFiles.push_back(path + ": " + why);
        report("skipped " + path + ": " + why);
    };
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        *error = "cannot read the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::path& p = it->path();
        const std::string name = p.filename().string();
        if (!name.empty() && name[0] == '.') {
            if (it->is_directory(ec)) it.disable_recursion_pending();
            continue;
        }
        const std::string ext = Lower(p.extension().string());
        const bool module = ext == ".mod" || ext == ".mtm" || ext == ".xm" || ext == ".s3m" || ext == ".it";
        if (!module) continue;
        const std::string rel = p.lexically_relative(folder).generic_string();
        if (it->is_symlink(ec)) { skip(rel, "symbolic link"); continue; }
        if (!it->is_regular_file(ec)) continue;
        const std::string why = UnsafePathReason(rel);
        if (!why.empty()) { skip(rel, why); continue; }
        struct stat st {};
        if (stat(p.c_str(), &st) != 0) { skip(rel, "cannot read its size and time"); continue; }
        if (st.st_size > INT32_MAX) { skip(rel, "larger than 2 GB"); continue; }
        files.push_back({rel, static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtime),
                         static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec});
    }
    if (ec) {
        *error = "cannot read the folder " + folder.string() + ": " + ec.message();
        return false;
    }
    std::sort(files.begin(), files.end(), [](const ScannedFile& a, const ScannedFile& b) { return a.path < b.path; });

    // Match with the manifest; what is new or changed gets measured.
    // known: a file's first entry (sub-song 0); further: the entries of its further sub-songs.
    std::map<std::string, int> known;
    std::map<std::pair<std::string, int>, int> further;
    for (size_t i = 0; i < manifest.songs.size(); ++i) {
        const SongEntry& e = manifest.songs[i];
        if (e.subsong == 0) known[e.path] = static_cast<int>(i);
        else further[{e.path, e.subsong}] = static_cast<int>(i);
    }
    // The client keeps songs in a Windows folder, where names differ only in case are one
    // file: a new file that would share its cache file with another song is not taken.
    std::map<std::string, std::string> folded;
    for (const ScannedFile& f : files)
        if (known.count(f.path)) folded.emplace(Lower(f.path), f.path);
    std::vector<bool> present(manifest.songs.size(), false);
    std::vector<Job> jobs;
    for (const ScannedFile& f : files) {
        const auto k = known.find(f.path);
        if (k == known.end()) {
            const auto same = folded.emplace(Lower(f.path), f.path);
            if (!same.second) { skip(f.path, "differs only in case from " + same.first->second); continue; }
            jobs.push_back(Job{f, -1, false, false, {}, {}, {}});
            continue;
        }
        present[k->second] = true;
        SongEntry& e = manifest.songs[k->second];
        // A file written again changes its status-change time even when the writer kept the
        // old modification time or size; the content hash then tells whether it really changed.
        const bool ctimeMoved = e.ctimeNs >= 0 && e.ctimeNs != f.ctimeNs;
        if (e.hidden || e.remeasure || e.hash.empty() || ctimeMoved || e.size != f.size || e.mtime != f.mtime)
            jobs.push_back(Job{f, k->second, false, false, {}, {}, {}});
    }
    // The catalogue's UPDATE of a new or changed song: when this build saw the change, so that
    // a file put back with an older time stamp still reaches the clients that hold the old one.
    const int64_t now = static_cast<int64_t>(std::time(nullptr));

    const auto started = std::chrono::steady_clock::now();
    const int threads = std::max(1, std::min<int>(options.jobs > 0 ? options.jobs
                                                                   : static_cast<int>(std::thread::hardware_concurrency()),
                                                  static_cast<int>(jobs.size())));
    std::atomic<size_t> next{0};
    std::mutex reportLock;
    size_t done = 0;
    auto work = [&]() {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            Job& job = jobs[i];
            std::string data;
            const std::string full = (folder / job.file.path).string();
            if (!ReadWholeFile(full, &data)) {
                job.error = "cannot read it";
            } else {
                job.hash = Hash(data);
                const SongEntry* e = job.entryIndex >= 0 ? &manifest.songs[job.entryIndex] : nullptr;
                job.sameContent = e && !e->hidden && !e->remeasure && SameBytes(*e, job);
                job.ok = job.sameContent ||
                         CModuleMeasure::Measure(data, Lower(fs::path(job.file.path).extension().string()).substr(1),
                                                 &job.results, &job.error);
            }
            std::lock_guard<std::mutex> lock(reportLock);
            ++done;
            char counter[48];
            std::snprintf(counter, sizeof counter, "[%zu/%zu] ", done, jobs.size());
            report(counter + job.file.path);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    if (!jobs.empty()) work();
    for (auto& t : pool) t.join();
    summary->measured = static_cast<int>(
        std::count_if(jobs.begin(), jobs.end(), [](const Job& j) { return !j.sameContent; }));
    summary->measureSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // Apply: changed files update their own id, new files get the next ids in path order,
    // broken or vanished known files become hidden. A further sub-song keeps the id it got
    // when it was first seen; one seen for the first time gets the next id.
    auto measureSubsongs = [&](const Job& job) {
        for (size_t k = 1; k < job.results.size(); ++k) {
            const auto f = further.find({job.file.path, static_cast<int>(k)});
            if (f != further.end()) {
                manifest.songs[f->second].measured = job.results[k];
                continue;
            }
            SongEntry e;
            e.id = static_cast<int>(manifest.songs.size()) + 1;
            e.path = job.file.path;
            e.subsong = static_cast<int>(k);
            e.measured = job.results[k];
            e.hidden = true;  // shown below, with its file's size and times
            further[{e.path, e.subsong}] = static_cast<int>(manifest.songs.size());
            manifest.songs.push_back(std::move(e));
            ++summary->added;
        }
    };
    for (Job& job : jobs) {
        if (job.entryIndex >= 0) {
            SongEntry& e = manifest.songs[job.entryIndex];
            if (job.ok) {
                // The same bytes keep their UPDATE (a file that comes back, a copy over itself,
                // a manifest of an older builder whose stamps still match); others get this build's.
                if (!SameBytes(e, job)) {
                    e.update = now;
                    if (!e.hidden) ++summary->changed;
                }
                e.hidden = false;
                e.remeasure = false;
                e.size = job.file.size;
                e.mtime = job.file.mtime;
                e.ctimeNs = job.file.ctimeNs;
                e.hash = job.hash;
                if (!job.sameContent) {
                    e.measured = job.results[0];
                    measureSubsongs(job);
                }
            } else {
                skip(job.file.path, job.error);
                if (!e.hidden) ++summary->removed;
                e.hidden = true;
            }
            continue;
        }
        if (!job.ok) { skip(job.file.path, job.error); continue; }
        SongEntry e;
        e.id = static_cast<int>(manifest.songs.size()) + 1;
        e.path = job.file.path;
        e.size = job.file.size;
        e.mtime = job.file.mtime;
        e.update = now;
        e.ctimeNs = job.file.ctimeNs;
        e.hash = job.hash;
        e.measured = job.results[0];
        known[e.path] = static_cast<int>(manifest.songs.size());
        manifest.songs.push_back(std::move(e));
        ++summary->added;
        measureSubsongs(job);
    }
    for (size_t i = 0; i < present.size(); ++i) {
        if (present[i] || manifest.songs[i].hidden || manifest.songs[i].subsong != 0) continue;
        manifest.songs[i].hidden = true;
        ++summary->removed;
        report("removed " + manifest.songs[i].path + " (id " + std::to_string(manifest.songs[i].id) + " is kept hidden)");
    }
    // A further sub-song is shown while its file is and still holds it, with the file's size,
    // times and hash; otherwise its id stays taken, hidden.
    for (const auto& [key, index] : further) {
        SongEntry& e = manifest.songs[index];
        const auto first = known.find(key.first);
        const SongEntry* file = first != known.end() ? &manifest.songs[first->second] : nullptr;
        const bool shown = file && !file->hidden && key.second < file->measured.subsongs;
        if (file) {
            e.size = file->size;
            e.mtime = file->mtime;
            e.update = file->update;
            e.ctimeNs = file->ctimeNs;
            e.hash = file->hash;
        }
        if (!shown && !e.hidden) ++summary->removed;
        e.hidden = !shown;
    }

    // The catalogue records.
    const std::string libraryName = folder.filename().string();
    std::vector<CatalogSong> records;
    for (const SongEntry& e : manifest.songs) {
        const ModuleMeasurement& m = e.measured;
        const OverrideValues o = overrides.Lookup(e.path);
        CatalogSong s;
        s.id = e.id;
        s.title = !m.title.empty() ? m.title : o.title;
        // The sub-songs of a module are told apart by their titles: "Title (2/4)", the file's
        // name standing in for a missing title.
        if (m.subsongs > 1) {
            if (s.title.empty()) s.title = fs::path(e.path).stem().string();
            s.title += " (" + std::to_string(e.subsong + 1) + "/" + std::to_string(m.subsongs) + ")";
        }
        s.subsong = e.subsong;
        s.artist = !m.artist.empty() ? m.artist : !o.artist.empty() ? o.artist : FolderArtist(e.path, libraryName);
        s.coops = o.coops;
        s.tool = m.tool;
        s.file = e.path;
        std::replace(s.file.begin(), s.file.end(), '/', '\\');
        s.update = e.update;
        s.flags = e.hidden ? 1 : 0;
        s.type = m.type;
        s.channels = m.channels;
        s.instruments = m.instruments;
        s.size = e.size;
        s.length = m.length;
        s.start = m.start;
        s.end = m.end;
        s.peak = m.peak;
        s.rms = m.rms;
        records.push_back(std::move(s));
        if (e.hidden) ++summary->hidden;
    }
    const std::string songs = CCatalogWriter::SongsSection(records);
    const std::string hash = Hash(songs);
    // The version moves only with the content, so clients download only real changes.
    if (!existed || hash != manifest.contentHash) {
        ++manifest.version;
        manifest.date = static_cast<int64_t>(std::time(nullptr));
        manifest.contentHash = hash;
        summary->versionChanged = true;
    }
    summary->songs = static_cast<int>(manifest.songs.size());
    summary->version = manifest.version;

    // Catalogue first, manifest last: a build stopped in between is completed by the next
    // one, which finds the same content and keeps the version.
    const std::string catalog = CCatalogWriter::File(manifest.version, manifest.date, records.size(), songs);
    if (!WriteFileAtomically(catalogPath, catalog, error)) return false;
    return manifest.Save(manifestPath, error);
}

}  // namespace th

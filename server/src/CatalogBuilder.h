#pragma once
// Builds or updates the catalogue of a library folder: scans the modules below it, measures
// new and changed files on several threads, keeps every known file's id (a vanished or broken
// file stays as a hidden song), and writes Library.xml and its manifest.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace th {

struct CatalogOptions {
    std::string folder;
    std::string overridesPath;  // empty: no overrides
    int jobs = 0;               // measuring threads; 0 = one per processor
    // Progress and skip reports, one line each (done/total and the file). May be empty.
    std::function<void(const std::string&)> report;
};

struct CatalogSummary {
    int songs = 0;         // ids in the catalogue, hidden ones included
    int hidden = 0;
    int added = 0;
    int changed = 0;       // known files measured again because they changed
    int removed = 0;       // known files hidden by this build
    int skipped = 0;       // files that could not be used (not loadable, unsafe name, ...)
    int measured = 0;      // files rendered by this build
    int version = 0;
    bool versionChanged = false;
    double measureSeconds = 0;  // wall time spent measuring
    std::vector<std::string> skippedFiles;  // "path: reason"
};

class CCatalogBuilder {
public:
    virtual ~CCatalogBuilder() = default;

    // False with error set when nothing could be written (unreadable folder, damaged
    // manifest or overrides file, write failure); skipped files are not errors.
    static bool Build(const CatalogOptions& options, CatalogSummary* summary, std::string* error);

    // Why a relative path ('/' separated) cannot be offered to the client, or empty when
    // it can: the client turns it into a Windows path below its song cache.
    static std::string UnsafePathReason(const std::string& relativePath);

    // The longest song cache folder a client is expected to have:
    // "C:\Users\" + a user name of 20 characters + "\AppData\Roaming\tunehaven\modules\".
    static constexpr size_t kCacheFolderChars = 64;
};

}  // namespace th

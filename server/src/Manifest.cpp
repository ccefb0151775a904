#include "Manifest.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace th {
namespace {

constexpr const char* kHeader = "tunehaven-manifest 1";

// Tabs, line breaks and the percent sign are percent-escaped so that any file name or title
// fits one tab-separated line.
std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '%') out += "%25";
        else if (c == '\t') out += "%09";
        else if (c == '\n') out += "%0A";
        else if (c == '\r') out += "%0D";
        else out.push_back(c);
    }
    return out;
}

bool Unescape(const std::string& s, std::string* out) {
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') { out->push_back(s[i]); continue; }
        if (i + 2 >= s.size()) return false;
        const std::string hex = s.substr(i + 1, 2);
        char* end = nullptr;
        const long v = std::strtol(hex.c_str(), &end, 16);
        if (end != hex.c_str() + 2) return false;
        out->push_back(static_cast<char>(v));
        i += 2;
    }
    return true;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

std::string Num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

bool ToInt64(const std::string& s, int64_t* v) {
    char* end = nullptr;
    errno = 0;
    const long long x = std::strtoll(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno) return false;
    *v = x;
    return true;
}

bool ToInt(const std::string& s, int* v) {
    int64_t x = 0;
    if (!ToInt64(s, &x) || x < INT32_MIN || x > INT32_MAX) return false;
    *v = static_cast<int>(x);
    return true;
}

bool ToDouble(const std::string& s, double* v) {
    char* end = nullptr;
    *v = std::strtod(s.c_str(), &end);
    return !s.empty() && *end == '\0';
}

}  // namespace

bool CManifest::Load(const std::string& path, bool* existed, std::string* error) {
    version = 0;
    date = 0;
    contentHash.clear();
    songs.clear();
    std::ifstream in(path, std::ios::binary);
    *existed = static_cast<bool>(in);
    if (!in) {
        if (access(path.c_str(), F_OK) != 0) return true;  // no manifest yet: a first build
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        *error = path + " line " + std::to_string(number) + ": " + why;
        return false;
    };
    if (!std::getline(in, line) || line != kHeader) { number = 1; return fail("not a tunehaven manifest"); }
    number = 1;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty()) continue;
        const std::vector<std::string> f = Split(line);
        if (f[0] == "version" && f.size() == 2) { if (!ToInt(f[1], &version)) return fail("bad version"); continue; }
        if (f[0] == "date" && f.size() == 2) { if (!ToInt64(f[1], &date)) return fail("bad date"); continue; }
        if (f[0] == "content" && f.size() == 2) { contentHash = f[1]; continue; }
        // Older builders wrote 17 fields, then 20 (the update time, status-change time and
        // content hash); the sub-song and the module's count of sub-songs follow them now.
        if (f[0] != "song" || (f.size() != 17 && f.size() != 20 && f.size() != 22)) return fail("unknown line");
        SongEntry e;
        int hidden = 0;
        ModuleMeasurement& m = e.measured;
        const bool ok = ToInt(f[1], &e.id) && ToInt(f[2], &hidden) && ToInt64(f[3], &e.size) &&
                        ToInt64(f[4], &e.mtime) && ToInt(f[5], &m.type) && ToInt(f[6], &m.channels) &&
                        ToInt(f[7], &m.instruments) && ToDouble(f[8], &m.length) &&
                        ToDouble(f[9], &m.start) && ToDouble(f[10], &m.end) &&
                        ToDouble(f[11], &m.peak) && ToDouble(f[12], &m.rms) &&
                        Unescape(f[13], &e.path) && Unescape(f[14], &m.title) &&
                        Unescape(f[15], &m.artist) && Unescape(f[16], &m.tool) &&
                        (f.size() == 17 || (ToInt64(f[17], &e.update) && ToInt64(f[18], &e.ctimeNs) &&
                                            Unescape(f[19], &e.hash))) &&
                        (f.size() < 22 || (ToInt(f[20], &e.subsong) && ToInt(f[21], &m.subsongs)));
        if (!ok || e.subsong < 0 || m.subsongs < 0) return fail("bad song record");
        if (f.size() == 17) {
            e.update = e.mtime;
            e.remeasure = m.type == 1;
        }
        if (f.size() < 22) e.remeasure = true;  // its further sub-songs are not known yet
        if (e.id != static_cast<int>(songs.size()) + 1) return fail("song ids out of sequence");
        // The path comes back to the server as a file to send: it must stay inside the library.
        if (e.path.empty() || e.path[0] == '/' || ("/" + e.path + "/").find("/../") != std::string::npos)
            return fail("unsafe path");
        e.hidden = hidden != 0;
        songs.push_back(std::move(e));
    }
    return true;
}

bool CManifest::Save(const std::string& path, std::string* error) const {
    std::ostringstream out;
    out << kHeader << "\n";
    out << "version\t" << version << "\n";
    out << "date\t" << date << "\n";
    out << "content\t" << contentHash << "\n";
    for (const SongEntry& e : songs) {
        const ModuleMeasurement& m = e.measured;
        out << "song\t" << e.id << '\t' << (e.hidden ? 1 : 0) << '\t' << e.size << '\t' << e.mtime << '\t'
            << m.type << '\t' << m.channels << '\t' << m.instruments << '\t' << Num(m.length) << '\t'
            << Num(m.start) << '\t' << Num(m.end) << '\t' << Num(m.peak) << '\t' << Num(m.rms) << '\t'
            << Escape(e.path) << '\t' << Escape(m.title) << '\t' << Escape(m.artist) << '\t'
            << Escape(m.tool) << '\t' << e.update << '\t' << e.ctimeNs << '\t' << Escape(e.hash) << '\t'
            << e.subsong << '\t' << m.subsongs << "\n";
    }
    return WriteFileAtomically(path, out.str(), error);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            *error = "cannot write " + temp;
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        *error = "cannot replace " + path;
        return false;
    }
    return true;
}

}  // namespace th

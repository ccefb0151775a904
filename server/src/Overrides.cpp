#include "Overrides.h"

#include <fnmatch.h>

#include <fstream>
#include <sstream>

#include "Text.h"

namespace th {
namespace {

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

}  // namespace

bool COverrides::Load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read the overrides file " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), error);
}

bool COverrides::Parse(const std::string& text, std::string* error) {
    sections_.clear();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) {
                *error = "overrides line " + std::to_string(number) + ": a section is [pattern]";
                return false;
            }
            sections_.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || sections_.empty()) {
            *error = "overrides line " + std::to_string(number) + ": expected key = value below a [pattern]";
            return false;
        }
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = CleanModuleText(Trim(line.substr(eq + 1)));
        OverrideValues& v = sections_.back().values;
        if (key == "artist") v.artist = value;
        else if (key == "title") v.title = value;
        else if (key == "coop") { if (!value.empty()) v.coops.push_back(value); }
        else {
            *error = "overrides line " + std::to_string(number) + ": unknown key " + key;
            return false;
        }
    }
    return true;
}

OverrideValues COverrides::Lookup(const std::string& relativePath) const {
    OverrideValues result;
    for (const Section& s : sections_) {
        if (fnmatch(s.pattern.c_str(), relativePath.c_str(), 0) != 0) continue;
        if (!s.values.artist.empty()) result.artist = s.values.artist;
        if (!s.values.title.empty()) result.title = s.values.title;
        if (!s.values.coops.empty()) result.coops = s.values.coops;
    }
    return result;
}

}  // namespace th

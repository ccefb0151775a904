#pragma once
// The overrides file: texts a module does not carry itself (its composer, co-operating
// artists), given per path pattern below the library folder.
//
//   # comment
//   [tecnoballz-data/*]        a glob over the path below the library folder, '/' separated
//   artist = TLK Games         used when the module names no artist
//   coop = Someone             a co-operating artist; may repeat
//   title = Text               used when the module has no title
//
// Several sections may match one path: for each field the last matching section that sets it
// wins (coop lines count as one field).
#include <string>
#include <vector>

namespace th {

struct OverrideValues {
    std::string artist;
    std::string title;
    std::vector<std::string> coops;
};

class COverrides {
public:
    virtual ~COverrides() = default;

    // Reads the file; on failure error holds the reason with the line number.
    bool Load(const std::string& path, std::string* error);
    bool Parse(const std::string& text, std::string* error);

    OverrideValues Lookup(const std::string& relativePath) const;

private:
    struct Section {
        std::string pattern;
        OverrideValues values;
    };
    std::vector<Section> sections_;
};

}  // namespace th

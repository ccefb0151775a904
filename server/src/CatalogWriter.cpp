#include "CatalogWriter.h"

#include <cstdio>

#include "Text.h"

namespace th {
namespace {

void Element(std::string& out, const char* name, const std::string& utf8Text) {
    std::u16string line = u"\r\n<";
    const std::u16string n = Utf8ToUtf16(name);
    line += n + u">" + XmlEscape(Utf8ToUtf16(utf8Text)) + u"</" + n + u">";
    AppendUtf16Le(out, line);
}

void Tag(std::string& out, const char16_t* tag) {
    AppendUtf16Le(out, u"\r\n");
    AppendUtf16Le(out, tag);
}

std::string Int(int64_t v) { return std::to_string(v); }

std::string Real(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace

std::string CCatalogWriter::SongsSection(const std::vector<CatalogSong>& songs) {
    std::string out;
    for (const CatalogSong& s : songs) {
        Tag(out, u"<SONG>");
        Element(out, "ID", Int(s.id));
        Element(out, "TITLE", s.title);
        Element(out, "ARTIST", s.artist);
        for (const std::string& coop : s.coops) Element(out, "COOP", coop);
        Element(out, "TOOL", s.tool);
        Element(out, "FILE", s.file);
        Element(out, "UPDATE", Int(s.update));
        Element(out, "FLAGS", Int(s.flags));
        Element(out, "TYPE", Int(s.type));
        Element(out, "CHAN", Int(s.channels));
        Element(out, "INST", Int(s.instruments));
        Element(out, "SIZE", Int(s.size));
        // Absent means sub-song 0, so a module of one song is written as it always was.
        if (s.subsong != 0) Element(out, "SUBSONG", Int(s.subsong));
        // Times to the millisecond, levels to a ten-thousandth of full scale.
        Element(out, "LENGTH", Real(s.length, 3));
        Element(out, "START", Real(s.start, 3));
        Element(out, "END", Real(s.end, 3));
        Element(out, "PEAK", Real(s.peak, 4));
        Element(out, "RMS", Real(s.rms, 4));
        Tag(out, u"</SONG>");
    }
    return out;
}

std::string CCatalogWriter::File(int version, int64_t date, size_t count, const std::string& songsSection) {
    std::string out;
    AppendUtf16Le(out, u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    Tag(out, u"<LIBRARY>");
    Element(out, "VERSION", Int(version));
    Element(out, "DATE", Int(date));
    Element(out, "COUNT", Int(static_cast<int64_t>(count)));
    out += songsSection;
    Tag(out, u"</LIBRARY>");
    AppendUtf16Le(out, u"\r\n");
    return out;
}

}  // namespace th

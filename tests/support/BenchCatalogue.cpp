#include "BenchCatalogue.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>

namespace th {

namespace {

// A small deterministic generator, so every run reads the same catalogue.
struct Random {
    uint32_t state = 12345;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

const wchar_t* kSyllables[] = {L"ka", L"ro", L"mi", L"zu", L"tan", L"el", L"dor", L"vi", L"sha",
                               L"qu", L"lin", L"ax", L"bo", L"rei", L"stu", L"nox"};

std::wstring Word(Random& r, int syllables) {
    std::wstring w;
    for (int i = 0; i < syllables; ++i) w += kSyllables[r.Below(16)];
    w[0] = static_cast<wchar_t>(towupper(w[0]));
    return w;
}

std::wstring ArtistName(int index) {
    Random r;
    r.state = static_cast<uint32_t>(index) * 2654435761u + 7;
    std::wstring name = Word(r, 1 + r.Below(3));
    if (r.Below(3) == 0) name += L" " + Word(r, 2);
    if (index % 50 == 0) name += L" &amp; Co";  // entities in some names
    return name + L" " + std::to_wstring(index);
}

std::wstring Title(Random& r) {
    std::wstring title = Word(r, 2 + r.Below(2));
    for (int words = r.Below(3); words > 0; --words) title += L" " + Word(r, 1 + r.Below(3));
    if (r.Below(20) == 0) title += L" &apos;remix&apos;";
    if (r.Below(40) == 0) title += L" &lt;final&gt;";
    return title;
}

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"\r\n<") + name + L">" + text + L"</" + name + L">";
}

bool WriteCatalogue(const std::wstring& path, const std::function<std::wstring(int id)>& titleExtra,
                    int songs, int artists) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::wstring text = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<LIBRARY>";
    text += Element(L"VERSION", L"1234") + Element(L"DATE", L"1765000000") +
            Element(L"COUNT", std::to_wstring(songs));
    Random r;
    const wchar_t* extensions[] = {L"mod", L"mtm", L"xm", L"s3m", L"it"};
    bool ok = true;
    for (int id = 1; id <= songs && ok; ++id) {
        int artist = static_cast<int>(r.Below(artists));
        int type = 1 + static_cast<int>(r.Below(5));
        float length = 30.0f + static_cast<float>(r.Below(400000)) / 1000.0f;
        std::wstring title = Title(r);
        text += L"\r\n<SONG>";
        text += Element(L"ID", std::to_wstring(id));
        text += Element(L"TITLE", titleExtra ? title + titleExtra(id) : title);
        text += Element(L"ARTIST", ArtistName(artist));
        if (r.Below(10) == 0) {
            for (int coops = 1 + r.Below(2); coops > 0; --coops)
                text += Element(L"COOP", ArtistName(static_cast<int>(r.Below(artists))));
        }
        if (r.Below(4) == 0) text += Element(L"TOOL", L"OpenMPT 1." + std::to_wstring(r.Below(30)));
        std::wstring fileName = title.substr(0, std::min<size_t>(title.size(), 12));
        std::replace(fileName.begin(), fileName.end(), L'&', L'_');
        text += Element(L"FILE", L"a" + std::to_wstring(artist) + L"\\" + fileName + L"." +
                                     extensions[type - 1]);
        text += Element(L"UPDATE", std::to_wstring(1600000000 + r.Below(100000000)));
        text += Element(L"FLAGS", std::to_wstring(r.Below(100) == 0 ? 1 : 0));
        text += Element(L"TYPE", std::to_wstring(type));
        text += Element(L"CHAN", std::to_wstring(4 + r.Below(28)));
        text += Element(L"INST", std::to_wstring(1 + r.Below(60)));
        text += Element(L"SIZE", std::to_wstring(2000 + r.Below(2000000)));
        text += Element(L"LENGTH", std::to_wstring(length));
        text += Element(L"START", std::to_wstring(r.Below(3000) / 1000.0f));
        text += Element(L"END", std::to_wstring(length - r.Below(10000) / 1000.0f));
        text += Element(L"PEAK", std::to_wstring(r.Below(1000) / 1000.0f));
        text += Element(L"RMS", std::to_wstring(r.Below(1000) / 4000.0f));
        text += L"\r\n</SONG>";
        if (text.size() > (1u << 20) || id == songs) {
            if (id == songs) text += L"\r\n</LIBRARY>";
            DWORD written = 0;
            DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
            ok = WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
            text.clear();
        }
    }
    CloseHandle(file);
    return ok;
}

}  // namespace

bool WriteBenchCatalogue(const std::wstring& path,
                         const std::function<std::wstring(int id)>& titleExtra) {
    return WriteCatalogue(path, titleExtra, kBenchSongs, kBenchArtists);
}

bool WriteBenchCatalogue(const std::wstring& path, int songs, int artists) {
    return WriteCatalogue(path, nullptr, songs, artists);
}

}  // namespace th

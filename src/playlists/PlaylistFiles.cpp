#include "playlists/PlaylistFiles.h"

#include <cwchar>

namespace {

bool NeedsEscape(wchar_t c) {
    switch (c) {
    case L'<': case L'>': case L':': case L'"': case L'/': case L'\\': case L'|': case L'%':
    case L'?': case L'*':
        return true;
    }
    return c < 0x20;
}

// Names the file system keeps for devices, with or without an extension ("CON", "nul.txt"):
// a file of that name cannot be made.
bool IsDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
    }
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

void AppendEscaped(std::wstring& result, wchar_t c) {
    wchar_t code[8];
    // Two digits at least, since the reverse reads two.
    swprintf(code, 8, c < 0x10 ? L"%%%02x" : L"%%%x", static_cast<unsigned>(c));
    result += code;
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return 0;
}

}  // namespace

std::wstring EscapeName(const std::wstring& name) {
    std::wstring result;
    result.reserve(name.size());
    // A device name gets its first character escaped, which makes it an ordinary file name
    // that still reads back as the same name.
    const bool device = IsDeviceName(name);
    for (size_t i = 0; i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (NeedsEscape(c) || (device && i == 0))
            AppendEscaped(result, c);
        else
            result += c;
    }
    return result;
}

std::wstring UnescapeName(const std::wstring& escaped) {
    std::wstring result;
    result.reserve(escaped.size());
    for (size_t i = 0; i < escaped.size(); ++i) {
        wchar_t c = escaped[i];
        if (c != L'%') {
            result += c;
            continue;
        }
        if (i + 2 >= escaped.size()) break;
        wchar_t decoded = static_cast<wchar_t>(HexValue(escaped[i + 1]) * 16 + HexValue(escaped[i + 2]));
        // A name is a plain text: a decoded NUL ends it, as it would end the shown label.
        if (decoded == 0) break;
        result += decoded;
        i += 2;
    }
    return result;
}

std::wstring FavouritesPath(const std::wstring& dataFolder) {
    if (dataFolder.empty()) return {};
    return dataFolder + L"Favourites" + L".xml";
}

std::wstring PlaylistsFolder(const std::wstring& dataFolder) {
    if (dataFolder.empty()) return {};
    return dataFolder + L"Playlists" + L"\\";
}

std::wstring PlaylistPath(const std::wstring& dataFolder, const std::wstring& name) {
    if (dataFolder.empty()) return {};
    return PlaylistsFolder(dataFolder) + EscapeName(name) + L".xml";
}

std::wstring PlaylistNameFromFile(const std::wstring& fileName) {
    size_t dot = fileName.rfind(L'.');
    return UnescapeName(dot == std::wstring::npos ? fileName : fileName.substr(0, dot));
}

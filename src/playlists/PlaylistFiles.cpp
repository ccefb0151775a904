#include "playlists/PlaylistFiles.h"

#include <cwchar>

namespace {

bool NeedsEscape(wchar_t c) {
    switch (c) {
    case L'<': case L'>': case L':': case L'"': case L'/': case L'\\': case L'|': case L'%':
        return true;
    }
    return false;
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
    for (wchar_t c : name) {
        if (NeedsEscape(c)) {
            wchar_t code[8];
            swprintf(code, 8, L"%%%x", static_cast<unsigned>(c));
            result += code;
        } else {
            result += c;
        }
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

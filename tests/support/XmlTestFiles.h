#pragma once
// Small builders for the XML files the suites read.

#include <string>

namespace th {

// The UTF-16 little-endian bytes of text (no byte-order mark added).
inline std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

// A file as the server or the program writes it: byte-order mark, declaration, body.
inline std::string XmlFile(const std::wstring& body) {
    return Utf16Bytes(L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body);
}

}  // namespace th

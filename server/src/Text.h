#pragma once
// Text helpers shared by the catalogue builder and the server: UTF-8 to UTF-16 conversion,
// the element-text escaping the client's reader undoes, and clean-up of module texts.
#include <cstdint>
#include <string>
#include <string_view>

namespace th {

// Decodes UTF-8; malformed sequences become U+FFFD so that a damaged title never loses the
// rest of the catalogue.
std::u16string Utf8ToUtf16(std::string_view text);

// Whether text is well-formed UTF-8 (no stray, cut-off, overlong or surrogate sequences).
bool IsValidUtf8(std::string_view text);

// Escapes the five XML special characters (&, <, >, ' and ") as entity references.
std::u16string XmlEscape(std::u16string_view text);

// Module texts come from fixed-size, space- or NUL-padded fields: control characters become
// spaces (the client's reader would cut a text at a NUL and a line break would split the
// element) and the result is trimmed.
std::string CleanModuleText(std::string_view text);

// Appends a UTF-16 string as little-endian bytes.
void AppendUtf16Le(std::string& out, std::u16string_view text);

// Decodes UTF-16 little-endian bytes (no byte-order mark handling).
std::u16string Utf16LeToString(std::string_view bytes);

// Lossy UTF-16 to UTF-8 for messages and tests.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace th

#include "base/EscapeAmpersands.h"

std::wstring EscapeAmpersands(const std::wstring& text, bool forTooltip) {
    const wchar_t* escaped = forTooltip ? L"&&&" : L"&&";
    std::wstring out;
    out.reserve(text.size() + 8);
    for (wchar_t c : text) {
        if (c == L'&')
            out += escaped;
        else
            out += c;
    }
    return out;
}

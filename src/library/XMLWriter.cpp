#include "library/XMLWriter.h"

#include <cwchar>

namespace {

constexpr size_t kFlushSize = 32768;  // characters
const wchar_t kDeclaration[] = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>";

const wchar_t* EscapeOf(wchar_t c) {
    switch (c) {
    case L'<': return L"&lt;";
    case L'>': return L"&gt;";
    case L'&': return L"&amp;";
    case L'\'': return L"&apos;";
    case L'"': return L"&quot;";
    }
    return nullptr;
}

}  // namespace

CXMLWriter::~CXMLWriter() {
    Discard();
}

std::wstring CXMLWriter::TemporaryPath(const std::wstring& path) {
    return path + L".tmp";
}

bool CXMLWriter::Create(const wchar_t* path) {
    Discard();
    if (!path || !*path) return false;
    target_ = path;
    temporary_ = TemporaryPath(target_);
    file_ = CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    failed_ = false;
    pending_.clear();
    Put(kDeclaration);
    return true;
}

void CXMLWriter::Put(const wchar_t* text, size_t length) {
    if (file_ == INVALID_HANDLE_VALUE) return;
    pending_.append(text, length);
    if (pending_.size() >= kFlushSize) Flush();
}

bool CXMLWriter::Flush() {
    // Characters go out as the little-endian units they are in memory.
    const char* bytes = reinterpret_cast<const char*>(pending_.data());
    size_t left = pending_.size() * sizeof(wchar_t);
    while (left && !failed_) {
        DWORD piece = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file_, bytes, piece, &written, nullptr) || written == 0) {
            failed_ = true;
            break;
        }
        bytes += written;
        left -= written;
    }
    pending_.clear();
    return !failed_;
}

void CXMLWriter::WriteElement(const wchar_t* name, const wchar_t* text, bool closing) {
    if (!text) {
        Put(closing ? L"\r\n</" : L"\r\n<");
        Put(name);
        Put(L">");
        return;
    }
    Put(L"\r\n<");
    Put(name);
    Put(L">");
    const wchar_t* run = text;
    for (const wchar_t* p = text; *p; ++p) {
        if (const wchar_t* escape = EscapeOf(*p)) {
            Put(run, p - run);
            Put(escape);
            run = p + 1;
        }
    }
    Put(run);
    Put(L"</");
    Put(name);
    Put(L">");
}

void CXMLWriter::WriteIntElement(const wchar_t* name, int value) {
    wchar_t digits[16];
    swprintf(digits, 16, L"%d", value);
    WriteElement(name, digits, false);
}

bool CXMLWriter::Commit() {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    bool ok = Flush();
    // The data must be on disk before the name points at it, or a crash could leave an
    // empty file in place of the old one.
    if (ok && !FlushFileBuffers(file_)) ok = false;
    if (!CloseHandle(file_)) ok = false;
    file_ = INVALID_HANDLE_VALUE;
    if (ok && !MoveFileExW(temporary_.c_str(), target_.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ok = false;
    if (!ok) DeleteFileW(temporary_.c_str());
    temporary_.clear();
    target_.clear();
    return ok;
}

void CXMLWriter::Discard() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        DeleteFileW(temporary_.c_str());
    }
    temporary_.clear();
    target_.clear();
    pending_.clear();
}

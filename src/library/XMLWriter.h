#pragma once
// Writes the UTF-16 XML subset that CXMLReader reads back: byte-order mark, declaration,
// and one element per line with the five entity escapes.
//
// The file is written beside its target under a temporary name and only moved into place
// by Commit once every byte is on disk, so a failed or interrupted save leaves the old file
// as it was. A writer destroyed without a successful Commit removes its temporary file.

#include <windows.h>

#include <string>

class CXMLWriter {
public:
    CXMLWriter() = default;
    virtual ~CXMLWriter();
    CXMLWriter(const CXMLWriter&) = delete;
    CXMLWriter& operator=(const CXMLWriter&) = delete;

    // Starts the file for path with the byte-order mark and the declaration. False when the
    // temporary file cannot be made; nothing is written then.
    bool Create(const wchar_t* path);

    // An end tag (closing, no text), a start tag (no text) or a whole element with its
    // escaped text, each on a new line.
    void WriteElement(const wchar_t* name, const wchar_t* text, bool closing);
    void WriteIntElement(const wchar_t* name, int value);

    // Writes out what is pending, closes the file and puts it in place of the target. False
    // when any write, the close or the replacement failed; the target is then untouched.
    bool Commit();

    // The temporary file a save to path goes through.
    static std::wstring TemporaryPath(const std::wstring& path);

private:
    void Put(const wchar_t* text, size_t length);
    void Put(const wchar_t* text) { Put(text, wcslen(text)); }
    bool Flush();
    void Discard();

    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::wstring target_;
    std::wstring temporary_;
    std::wstring pending_;  // written out in large pieces
    bool failed_ = false;
};

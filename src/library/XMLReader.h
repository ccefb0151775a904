#pragma once
// Event-driven reader for the small UTF-16 XML subset of the catalogue and the playlist
// files. It cuts the file into tags and text and hands each piece to a subclass.

#include <windows.h>

#include <cstdint>
#include <memory>

class CXMLReader {
public:
    CXMLReader() = default;
    virtual ~CXMLReader();
    CXMLReader(const CXMLReader&) = delete;
    CXMLReader& operator=(const CXMLReader&) = delete;

    // Opens path. With stepBudget 0 the whole file is parsed at once and closed again; the
    // result only says whether the file could be opened. With a budget the file stays open
    // and the caller drives ParseStep until it returns false.
    bool Open(const wchar_t* path, int stepBudget);

    // Parses up to stepBudget characters (all of the file in whole-file mode). Stepwise:
    // true while the parse goes on, false once it has ended (end of file, syntax error or a
    // handler's stop). Whole-file: true at end of file, false after an error or a stop.
    bool ParseStep();

    // Percent of the file consumed so far.
    int GetProgress() const;

    // Size in bytes of the file last opened.
    uint64_t GetFileSize() const { return fileSize_; }

protected:
    // Frees the read and token buffers (384 KB) between parses; the next Open makes them again.
    void ReleaseBuffers();

    // The argument points into the reader's buffer and is valid during the call only.
    // Returning false stops the parse.
    virtual bool OnElementStart(const wchar_t* name) = 0;
    virtual bool OnElementEnd(const wchar_t* name) = 0;
    virtual bool OnText(const wchar_t* text) = 0;
    virtual void OnSyntaxError() = 0;

private:
    struct HandleCloser {
        void operator()(HANDLE h) const { CloseHandle(h); }
    };
    using FileHandle = std::unique_ptr<void, HandleCloser>;

    enum class Read { Unit, End };
    Read NextUnit(wchar_t& c);
    bool Refill();
    bool GrowToken();
    void Close();

    FileHandle file_;
    std::unique_ptr<wchar_t[]> buffer_;  // the token being collected
    int capacity_ = 0;
    int length_ = 0;
    int stepBudget_ = 0;
    uint64_t fileSize_ = 0;
    bool inTag_ = false;

    // Raw bytes read from the file ahead of the scan, so that each character costs no call.
    std::unique_ptr<unsigned char[]> raw_;
    DWORD rawLength_ = 0;
    DWORD rawPos_ = 0;
    uint64_t rawStart_ = 0;  // file offset of raw_[0]
    bool rawEnd_ = false;    // the file has nothing more to give
};

// Decodes the five entity references of text in place and returns its new length.
int DecodeEntities(wchar_t* text, int length);

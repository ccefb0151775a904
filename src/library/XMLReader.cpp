#include "library/XMLReader.h"

#include <cstring>
#include <cwchar>
#include <new>

namespace {

// The token buffer grows in large steps and is never shrunk, so a catalogue of many
// thousand records is parsed without an allocation per token.
constexpr int kTokenGrowth = 65536;
// Bytes fetched from the file per read call.
constexpr DWORD kRawSize = 256 * 1024;

// One pass of the entity decoding: replaces every `entity` by `ch`. The search resumes
// after the character put in, so a reference is decoded once and never re-read.
int DecodePass(wchar_t* text, int length, const wchar_t* entity, int entityLength, wchar_t ch) {
    wchar_t* found = wcsstr(text, entity);
    if (!found) return length;
    wchar_t* out = found;
    const wchar_t* in = found;
    const wchar_t* end = text + length;
    while (in < end) {
        if (*in == L'&' && wcsncmp(in, entity, entityLength) == 0) {
            *out++ = ch;
            in += entityLength;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
    return static_cast<int>(out - text);
}

}  // namespace

int DecodeEntities(wchar_t* text, int length) {
    if (!wmemchr(text, L'&', length)) return length;
    // "&amp;" goes last: an escaped ampersand followed by the letters of another entity
    // must give that entity's text, not its character.
    length = DecodePass(text, length, L"&lt;", 4, L'<');
    length = DecodePass(text, length, L"&gt;", 4, L'>');
    length = DecodePass(text, length, L"&apos;", 6, L'\'');
    length = DecodePass(text, length, L"&quot;", 6, L'"');
    length = DecodePass(text, length, L"&amp;", 5, L'&');
    return length;
}

CXMLReader::~CXMLReader() = default;

void CXMLReader::Close() {
    file_.reset();
    // The position stays where the parse ended, so progress can still be asked for.
    rawStart_ += rawPos_;
    rawLength_ = rawPos_ = 0;
    rawEnd_ = true;
}

void CXMLReader::ReleaseBuffers() {
    Close();
    raw_.reset();
    buffer_.reset();
    capacity_ = 0;
    length_ = 0;
}

bool CXMLReader::Open(const wchar_t* path, int stepBudget) {
    Close();
    if (!path || !*path) return false;
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    file_.reset(h);
    LARGE_INTEGER size{};
    fileSize_ = GetFileSizeEx(h, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    if (!raw_) {
        raw_.reset(new (std::nothrow) unsigned char[kRawSize]);
        if (!raw_) {
            Close();
            return false;
        }
    }
    rawEnd_ = false;
    rawStart_ = 0;
    length_ = 0;
    inTag_ = false;
    if (stepBudget > 0) {
        stepBudget_ = stepBudget;
        return true;
    }
    stepBudget_ = 0;
    ParseStep();
    Close();
    return true;
}

bool CXMLReader::Refill() {
    // Keep a leftover odd byte in front of the new data.
    DWORD left = rawLength_ - rawPos_;
    if (left) memmove(raw_.get(), raw_.get() + rawPos_, left);
    rawStart_ += rawPos_;
    rawPos_ = 0;
    rawLength_ = left;
    while (rawLength_ < 2 && !rawEnd_) {
        DWORD got = 0;
        if (!ReadFile(file_.get(), raw_.get() + rawLength_, kRawSize - rawLength_, &got, nullptr) ||
            got == 0) {
            rawEnd_ = true;  // a read error ends the parse as the end of the file does
            break;
        }
        rawLength_ += got;
    }
    return rawLength_ >= 2;
}

inline CXMLReader::Read CXMLReader::NextUnit(wchar_t& c) {
    if (rawLength_ - rawPos_ < 2 && !Refill()) return Read::End;  // a last odd byte is ignored
    const unsigned char* p = raw_.get() + rawPos_;
    c = static_cast<wchar_t>(p[0] | (p[1] << 8));
    rawPos_ += 2;
    return Read::Unit;
}

bool CXMLReader::GrowToken() {
    wchar_t* grown = new (std::nothrow) wchar_t[static_cast<size_t>(capacity_) + kTokenGrowth];
    if (!grown) return false;
    if (capacity_) memcpy(grown, buffer_.get(), sizeof(wchar_t) * capacity_);
    buffer_.reset(grown);
    capacity_ += kTokenGrowth;
    return true;
}

bool CXMLReader::ParseStep() {
    if (!file_) return false;
    bool result = true;  // whole-file mode: true at the end of the file
    int count = 0;
    for (;;) {
        if (stepBudget_ > 0 && count == stepBudget_) return true;
        if (length_ == capacity_ && !GrowToken()) break;  // out of memory ends as end of file
        wchar_t c;
        if (NextUnit(c) == Read::End) break;  // an unfinished token is dropped
        ++count;
        wchar_t* buffer = buffer_.get();
        buffer[length_] = c;
        if (c == L'<') {
            if (inTag_) {
                OnSyntaxError();
                result = false;
                break;
            }
            buffer[length_] = 0;
            if (length_ > 0) {
                DecodeEntities(buffer, length_);
                if (!OnText(buffer)) {
                    result = false;
                    break;
                }
            }
            length_ = 0;
            inTag_ = true;
        } else if (c == L'>') {
            if (!inTag_) {
                OnSyntaxError();
                result = false;
                break;
            }
            buffer[length_] = 0;
            if (length_ == 0) {
                OnSyntaxError();
                result = false;
                break;
            }
            bool goOn = buffer[0] == L'/' ? OnElementEnd(buffer + 1) : OnElementStart(buffer);
            if (!goOn) {
                result = false;
                break;
            }
            length_ = 0;
            inTag_ = false;
        } else {
            ++length_;
        }
    }
    if (stepBudget_ > 0) {
        Close();
        return false;
    }
    return result;
}

int CXMLReader::GetProgress() const {
    if (fileSize_ == 0) return 0;
    uint64_t position = rawStart_ + rawPos_;
    return static_cast<int>(position * 100 / fileSize_);
}

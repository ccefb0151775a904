#define _CRT_RAND_S
#include <stdlib.h>

#include "library/Library.h"

#include <cwchar>
#include <iterator>
#include <limits>

namespace {

// Element names are at most this long; anything longer is no name of ours.
constexpr int kMaxName = 7;
// The smallest song record a file can hold ("<SONG></SONG>", in bytes): a COUNT beyond
// what the file could contain is no hint but damage and is ignored.
constexpr uint64_t kMinSongBytes = 13 * sizeof(wchar_t);

// Upper-cases an ASCII name into out; false when it is too long to be one of ours.
bool FoldName(const wchar_t* name, wchar_t (&out)[kMaxName + 1]) {
    int i = 0;
    for (; name[i]; ++i) {
        if (i == kMaxName) return false;
        wchar_t c = name[i];
        out[i] = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
    }
    out[i] = 0;
    return true;
}

bool IsSong(const wchar_t* name) {
    wchar_t folded[kMaxName + 1];
    return FoldName(name, folded) && wcscmp(folded, L"SONG") == 0;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// The standard conversion itself, for texts the quick path does not cover. long is 32 bits
// on Windows, so it saturates a 32-bit field where it should.
int32_t StandardInteger(const wchar_t* text, int32_t) {
    return static_cast<int32_t>(wcstol(text, nullptr, 10));
}

int64_t StandardInteger(const wchar_t* text, int64_t) {
    return wcstoll(text, nullptr, 10);
}

// Signed decimal as the standard conversion reads it (leading blanks, a sign, digits up to
// the first other character, saturating at the limits of the type), without its cost per
// call: a catalogue holds over a million numbers.
template <typename T>
T ToInteger(const wchar_t* text) {
    const wchar_t* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+') ++p;
    constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<T>::max());
    const uint64_t limit = negative ? kMax + 1 : kMax;
    uint64_t value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        uint64_t digit = static_cast<uint64_t>(*p - L'0');
        if (value > (limit - digit) / 10) {
            value = limit;
            break;
        }
        value = value * 10 + digit;
    }
    // Other blanks and other digits than the ASCII ones are the standard conversion's to
    // judge.
    if (*p > 0x7F) return StandardInteger(text, T());
    if (negative) return value == kMax + 1 ? std::numeric_limits<T>::min() : -static_cast<T>(value);
    return static_cast<T>(value);
}

int ToInt(const wchar_t* text) {
    return ToInteger<int32_t>(text);
}

int64_t ToInt64(const wchar_t* text) {
    return ToInteger<int64_t>(text);
}

// Plain decimals ("123.456") of up to 15 significant digits are exact as an integer over a
// power of ten, and one division of two exact doubles is rounded as the standard conversion
// rounds; anything else (exponents, long digit strings, inf, nan, hex) goes to wcstod.
float ToFloat(const wchar_t* text) {
    static const double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10,
                                      1e11, 1e12, 1e13, 1e14, 1e15};
    const wchar_t* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+') ++p;
    uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p, ++digits) mantissa = mantissa * 10 + (*p - L'0');
    if (*p == L'.') {
        for (++p; *p >= L'0' && *p <= L'9'; ++p, ++digits, ++fraction)
            mantissa = mantissa * 10 + (*p - L'0');
    }
    wchar_t next = *p;
    if (digits == 0 || digits > 15 || next == L'e' || next == L'E' || next == L'x' || next == L'X' ||
        next > 0x7F)
        return static_cast<float>(wcstod(text, nullptr));
    double value = static_cast<double>(mantissa) / kPowers[fraction];
    return static_cast<float>(negative ? -value : value);
}

// Reads a catalogue file only as far as its VERSION text.
class CVersionReader : public CXMLReader {
public:
    ~CVersionReader() override = default;
    bool Found() const { return found_; }
    int Version() const { return version_; }

protected:
    bool OnElementStart(const wchar_t* name) override {
        wchar_t folded[kMaxName + 1];
        inVersion_ = FoldName(name, folded) && wcscmp(folded, L"VERSION") == 0;
        return true;
    }
    bool OnElementEnd(const wchar_t*) override {
        inVersion_ = false;
        return true;
    }
    bool OnText(const wchar_t* text) override {
        if (!inVersion_) return true;
        version_ = ToInt(text);
        found_ = true;
        return false;
    }
    void OnSyntaxError() override {}

private:
    bool inVersion_ = false;
    bool found_ = false;
    int version_ = 0;
};

}  // namespace

CLibrary::CLibrary(std::wstring path) : path_(std::move(path)) {}

CLibrary::~CLibrary() = default;

CLibrary::Field CLibrary::Classify(const wchar_t* name) {
    static const struct {
        const wchar_t* name;
        Field field;
    } kFields[] = {
        {L"ID", Field::Id},         {L"TITLE", Field::Title},   {L"ARTIST", Field::Artist},
        {L"COOP", Field::Coop},     {L"TOOL", Field::Tool},     {L"FILE", Field::File},
        {L"UPDATE", Field::Update}, {L"FLAGS", Field::Flags},   {L"TYPE", Field::Type},
        {L"CHAN", Field::Chan},     {L"INST", Field::Inst},     {L"SIZE", Field::Size},
        {L"LENGTH", Field::Length}, {L"START", Field::Start},   {L"END", Field::End},
        {L"PEAK", Field::Peak},     {L"RMS", Field::Rms},       {L"VERSION", Field::Version},
        {L"DATE", Field::Date},     {L"COUNT", Field::Count},   {L"SUBSONG", Field::Subsong},
    };
    wchar_t folded[kMaxName + 1];
    if (!FoldName(name, folded)) return Field::None;
    for (const auto& f : kFields) {
        if (f.name[0] == folded[0] && wcscmp(f.name, folded) == 0) return f.field;
    }
    return Field::None;
}

int CLibrary::GetVersion(bool reread) {
    // The version check may answer while the tree thread is reading the catalogue stepwise:
    // the version is read through a reader of its own, so the open file and the parse state
    // of that reload are never touched.
    if (reread) {
        CVersionReader reader;
        if (reader.Open(path_.c_str(), 0) && reader.Found()) version_ = reader.Version();
    }
    return version_;
}

bool CLibrary::Reload(int stepBudget) {
    songs_.clear();
    // The totals are sums over the songs held, so they start again with them.
    totalSize_ = 0;
    totalDuration_ = 0;
    currentElement_ = Field::None;
    current_.Reset();
    inSong_ = false;
    damaged_ = false;
    return Open(path_.c_str(), stepBudget);
}

bool CLibrary::ReadWhole() {
    return Reload(0) && !damaged_ && !inSong_;
}

const CSong* CLibrary::GetSong(int id) const {
    if (id < 1 || id > static_cast<int>(songs_.size())) return nullptr;
    return &songs_[id - 1];
}

bool CLibrary::OnElementStart(const wchar_t* name) {
    currentElement_ = Classify(name);
    if (currentElement_ == Field::None && IsSong(name)) {
        current_.Reset();
        inSong_ = true;
    }
    return true;
}

bool CLibrary::OnElementEnd(const wchar_t* name) {
    currentElement_ = Field::None;
    if (!IsSong(name)) return true;
    inSong_ = false;
    if (current_.id != GetCount() + 1) {
        version_ = 0;  // the catalogue is inconsistent; what was read stays
        damaged_ = true;
        return false;
    }
    totalSize_ += static_cast<uint32_t>(current_.size);
    totalDuration_ += current_.PlayLength();
    songs_.push_back(current_);  // a copy holds its texts in a block of their exact size
    return true;
}

bool CLibrary::OnText(const wchar_t* text) {
    switch (currentElement_) {
    case Field::None: break;
    case Field::Version: version_ = ToInt(text); break;
    case Field::Date: date_ = ToInt64(text); break;
    case Field::Count: {
        long long count = ToInt64(text);
        // Only a hint for the array; a negative or impossible count is no hint.
        if (count > 0 && static_cast<uint64_t>(count) <= GetFileSize() / kMinSongBytes) {
            try {
                songs_.reserve(static_cast<size_t>(count));
            } catch (...) {
            }
        }
        break;
    }
    case Field::Id: current_.id = ToInt(text); break;
    case Field::Title: current_.SetTitle(text); break;
    case Field::Artist: current_.SetArtist(text); break;
    case Field::Coop: current_.SetCoop(text); break;
    case Field::Tool: current_.SetTool(text); break;
    case Field::File: current_.SetFile(text); break;
    case Field::Update: current_.update = ToInt64(text); break;
    case Field::Flags: current_.flags = ToInt(text); break;
    case Field::Type: current_.SetType(ToInt(text)); break;
    case Field::Chan: current_.channels = ToInt(text); break;
    case Field::Inst: current_.instruments = ToInt(text); break;
    case Field::Size: current_.size = ToInt(text); break;
    case Field::Subsong: current_.subsong = ToInt(text); break;
    case Field::Length: current_.length = ToFloat(text); break;
    case Field::Start: current_.start = ToFloat(text); break;
    case Field::End: current_.end = ToFloat(text); break;
    case Field::Peak: current_.peak = ToFloat(text); break;
    case Field::Rms: current_.rms = ToFloat(text); break;
    }
    return true;
}

int CLibrary::PickRandom(int currentId) {
    if (currentId != 0) played_.insert(currentId);
    unsigned n = static_cast<unsigned>(songs_.size());
    if (n == 0) return 0;
    int candidate = 0;
    // A bounded number of draws: once most songs have been played, a repeat is accepted.
    for (int tries = 100; --tries > 0;) {
        unsigned value = 0;
        rand_s(&value);
        candidate = static_cast<int>(value % n) + 1;
        if (played_.insert(candidate).second) return candidate;
    }
    return candidate;
}

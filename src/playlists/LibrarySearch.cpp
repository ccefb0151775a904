#include "playlists/LibrarySearch.h"

#include "library/Library.h"
#include "playlists/Playlist.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace {

// How the system compares text when case and accents do not count. The invariant locale has
// no contractions, so every character's weights stand on their own.
constexpr DWORD kFoldFlags = LCMAP_SORTKEY | NORM_IGNORECASE | NORM_IGNORENONSPACE;

std::string SortKey(const wchar_t* text, int length) {
    BYTE key[256];
    int bytes = LCMapStringEx(LOCALE_NAME_INVARIANT, kFoldFlags, text, length,
                              reinterpret_cast<LPWSTR>(key), sizeof(key), nullptr, nullptr, 0);
    return bytes > 0 ? std::string(reinterpret_cast<const char*>(key), bytes) : std::string();
}

// Blocks of code units with cased or accented letters, ligatures and wide forms. The blocks
// outside them (CJK ideographs, Hangul, private use, surrogates) fold to themselves.
struct Range {
    wchar_t first, last;
};
constexpr Range kFoldedRanges[] = {{0x0080, 0x33FF}, {0xA000, 0xABFF}, {0xFB00, 0xFFEF}};

// One entry per code unit: 0 when the character is dropped, otherwise the folded character in
// the low 16 bits and a second one (for a character equal to two letters) in the high 16 bits.
//
// Two characters fold alike exactly when the system gives them the same sort key with case
// and non-spacing marks ignored; each key is written as its first character in a fixed order
// (printable ASCII first, lower case before upper case, then pairs of ASCII letters, then the
// code units upwards), so that the result does not depend on the user's locale. Characters
// whose key is empty (combining marks, soft hyphens, joiners) are ignored by the comparison
// and dropped.
class CFoldTable {
public:
    CFoldTable() : map_(0x10000) {
        for (uint32_t c = 0; c < 0x10000; ++c) map_[c] = c;
        for (wchar_t c = L'A'; c <= L'Z'; ++c) map_[c] = c + (L'a' - L'A');

        std::unordered_map<std::string, uint32_t> first;
        for (wchar_t c = 0x20; c < 0x7F; ++c) {
            if (c >= L'A' && c <= L'Z') continue;  // their lower case stands for them
            first.emplace(SortKey(&c, 1), c);
        }
        for (wchar_t a = L'a'; a <= L'z'; ++a) {
            for (wchar_t b = L'a'; b <= L'z'; ++b) {
                const wchar_t pair[2] = {a, b};
                first.emplace(SortKey(pair, 2), static_cast<uint32_t>(a) | (static_cast<uint32_t>(b) << 16));
            }
        }
        const wchar_t acute = 0x0301;
        const std::string ignored = SortKey(&acute, 1);
        for (const Range& range : kFoldedRanges) {
            for (uint32_t c = range.first; c <= range.last; ++c) {
                const wchar_t ch = static_cast<wchar_t>(c);
                std::string key = SortKey(&ch, 1);
                if (key.empty()) continue;  // the system cannot weigh it: keep it as it is
                if (key == ignored) {
                    map_[c] = 0;
                    continue;
                }
                map_[c] = first.emplace(std::move(key), c).first->second;
            }
        }
    }
    virtual ~CFoldTable() = default;

    uint32_t operator[](wchar_t c) const { return map_[static_cast<uint16_t>(c)]; }

private:
    std::vector<uint32_t> map_;
};

const CFoldTable& FoldTable() {
    static const CFoldTable table;
    return table;
}

// Appends text folded at out, which has room for twice its length; returns the new end.
wchar_t* FoldInto(const CFoldTable& table, std::wstring_view text, wchar_t* out) {
    for (wchar_t c : text) {
        uint32_t folded = table[c];
        if (folded == 0) continue;
        *out++ = static_cast<wchar_t>(folded);
        if (folded > 0xFFFF) *out++ = static_cast<wchar_t>(folded >> 16);
    }
    return out;
}

bool IsBlank(WORD type) {
    return (type & (C1_SPACE | C1_BLANK)) != 0;
}

}  // namespace

CLibrarySearch::CLibrarySearch(const CLibrary* library) : library_(library) {}

CLibrarySearch::~CLibrarySearch() = default;

void CLibrarySearch::Reset() {
    lastWords_.clear();
    lastIds_.clear();
    lastCount_ = -1;
}

void CLibrarySearch::Prepare() {
    FoldTable();
}

std::wstring CLibrarySearch::Fold(std::wstring_view text) {
    std::wstring folded(text.size() * 2, L'\0');
    wchar_t* end = FoldInto(FoldTable(), text, folded.data());
    folded.resize(end - folded.data());
    return folded;
}

std::vector<std::wstring> CLibrarySearch::SplitWords(std::wstring_view query) {
    std::vector<std::wstring> words;
    if (query.empty()) return words;
    std::vector<WORD> types(query.size());
    if (!GetStringTypeW(CT_CTYPE1, query.data(), static_cast<int>(query.size()), types.data()))
        return words;
    size_t start = 0;
    for (size_t i = 0; i <= query.size(); ++i) {
        if (i < query.size() && !IsBlank(types[i])) continue;
        if (i > start) {
            std::wstring word = Fold(query.substr(start, i - start));
            if (!word.empty()) words.push_back(std::move(word));
        }
        start = i + 1;
    }
    return words;
}

bool CLibrarySearch::Matches(const CSong& song, const std::vector<std::wstring>& words) {
    // The texts are folded one after the other, separated by a line break, which no word
    // holds, so that no word is found across two of them. Without a main artist the
    // co-operating artist is not part of the display artist and is taken on its own.
    std::wstring_view artist = song.DisplayArtist().empty() ? song.Coop() : song.DisplayArtist();
    size_t room = 2 * (artist.size() + song.Title().size() + song.FileName().size()) + 2;
    if (folded_.size() < room) folded_.resize(room);
    const CFoldTable& table = FoldTable();
    wchar_t* begin = folded_.data();
    wchar_t* out = FoldInto(table, artist, begin);
    *out++ = L'\n';
    out = FoldInto(table, song.Title(), out);
    *out++ = L'\n';
    out = FoldInto(table, song.FileName(), out);
    std::wstring_view texts(begin, out - begin);
    for (const std::wstring& word : words) {
        if (texts.find(word) == std::wstring_view::npos) return false;
    }
    return true;
}

bool CLibrarySearch::Narrows(const std::vector<std::wstring>& words) const {
    if (lastCount_ != library_->GetCount() || lastWords_.empty()) return false;
    for (const std::wstring& old : lastWords_) {
        bool inside = std::any_of(words.begin(), words.end(), [&](const std::wstring& word) {
            return word.find(old) != std::wstring::npos;
        });
        if (!inside) return false;
    }
    return true;
}

std::unique_ptr<CPlaylist> CLibrarySearch::Find(std::wstring_view query) {
    std::vector<std::wstring> words = SplitWords(query);
    if (words.empty() || !library_) {
        Reset();
        return nullptr;
    }
    // The longest word is the likeliest to fail, so it is tried first.
    std::stable_sort(words.begin(), words.end(),
                     [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });

    std::vector<int> ids;
    auto consider = [&](int id) {
        const CSong* song = library_->GetSong(id);
        if (song && !song->IsHidden() && song->PlayLength() != 0 && Matches(*song, words))
            ids.push_back(id);
    };
    if (Narrows(words)) {
        for (int id : lastIds_) consider(id);
    } else {
        const int count = library_->GetCount();
        for (int id = 1; id <= count; ++id) consider(id);
    }

    auto results = std::make_unique<CPlaylist>(CPlaylist::kArtist);
    for (int id : ids) results->Add(id, true);
    lastWords_ = std::move(words);
    lastIds_ = std::move(ids);
    lastCount_ = library_->GetCount();
    return results;
}

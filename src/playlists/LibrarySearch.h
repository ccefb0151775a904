#pragma once
// Find in the library: turns a typed query into a playlist of the songs it names. A song
// matches when every word of the query is contained in its artist (with the co-operating
// artists), its title or its file name, ignoring case and the accents that Windows' own
// comparison ignores; words may come in any order. Songs that the tree leaves out (hidden,
// or without a measured end) are never found.
//
// There is no index: each query scans the catalogue's records, which on 100,000 songs is fast
// enough for every keystroke on the window thread. Only the folding table is kept (built once
// per process from the system's sort keys).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CLibrary;
class CPlaylist;
class CSong;

class CLibrarySearch {
public:
    explicit CLibrarySearch(const CLibrary* library);
    virtual ~CLibrarySearch();
    CLibrarySearch(const CLibrarySearch&) = delete;
    CLibrarySearch& operator=(const CLibrarySearch&) = delete;

    // The songs matching query, in catalogue order, as a new playlist of kind kArtist (shown
    // like an artist's songs, sorted by the list's sort column). Null when the query holds no
    // word (only blanks, or only marks that fold away). The library must be complete (the
    // tree built): the search reads every record.
    std::unique_ptr<CPlaylist> Find(std::wstring_view query);

    // The query's words, folded, in the order typed. Words are separated by any blank.
    static std::vector<std::wstring> SplitWords(std::wstring_view query);

    // text as the search compares it: letters in one case, accents and other non-spacing marks
    // removed, and letters that compare equal to two letters (such as a sharp s) written as
    // those two letters.
    static std::wstring Fold(std::wstring_view text);

    // Forgets the previous query's results; called when the catalogue is read again.
    void Reset();

    // Builds the folding table now instead of at the first search (it takes a few
    // milliseconds).
    static void Prepare();

private:
    bool Matches(const CSong& song, const std::vector<std::wstring>& words);
    // A narrower query (each previous word is inside one of the new words) can only find
    // songs that the previous one found, so only those are scanned again.
    bool Narrows(const std::vector<std::wstring>& words) const;

    const CLibrary* library_;
    std::wstring folded_;              // scratch: one song's folded texts
    std::vector<std::wstring> lastWords_;
    std::vector<int> lastIds_;         // the songs lastWords_ found, in catalogue order
    int lastCount_ = -1;               // catalogue size when lastIds_ was made
};

// Speed and memory of the tree build: a generated catalogue of 100,000 songs by 20,000 artists
// (a tenth of the songs with a co-operating artist) is built into a tree window the way the
// program does it, from the start of the build to the tree being ready. The catalogue parse and
// the grouping are also timed on their own, so that the node insertion can be told apart.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "XmlTestFiles.h"
#include "app/Ids.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"
#include "ui/tree/TreeBuild.h"
#include "ui/tree/WndTree.h"

namespace {

constexpr int kSongs = 100000;
constexpr int kArtists = 20000;
constexpr int kRuns = 3;

double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize / (1024.0 * 1024.0);
}

double PrivateMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.PagefileUsage / (1024.0 * 1024.0);
}

struct Random {
    uint32_t state = 4711;
    uint32_t Below(uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    }
};

std::wstring ArtistName(int index) {
    static const wchar_t* kSyllables[] = {L"ka", L"ro", L"mi", L"zu", L"tan", L"el", L"dor", L"vi"};
    Random r;
    r.state = static_cast<uint32_t>(index) * 2654435761u + 3;
    std::wstring name;
    for (int i = 0, n = 2 + r.Below(3); i < n; ++i) name += kSyllables[r.Below(8)];
    name[0] = static_cast<wchar_t>(towupper(name[0]));
    return name + L" " + std::to_wstring(index);
}

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"\r\n<") + name + L">" + text + L"</" + name + L">";
}

bool WriteCatalogue(const std::wstring& path) {
    std::wstring body = L"\r\n<LIBRARY>" + Element(L"VERSION", L"1") + Element(L"COUNT", std::to_wstring(kSongs));
    Random r;
    for (int id = 1; id <= kSongs; ++id) {
        // Every artist has at least one song; the rest are spread at random.
        int artist = id <= kArtists ? id - 1 : static_cast<int>(r.Below(kArtists));
        body += L"\r\n<SONG>" + Element(L"ID", std::to_wstring(id)) +
                Element(L"TITLE", L"Title " + std::to_wstring(id)) + Element(L"ARTIST", ArtistName(artist));
        if (r.Below(10) == 0) body += Element(L"COOP", ArtistName(static_cast<int>(r.Below(kArtists))));
        body += Element(L"FILE", L"a" + std::to_wstring(artist) + L"\\s" + std::to_wstring(id) + L".mod") +
                Element(L"TYPE", L"1") + Element(L"SIZE", std::to_wstring(1000 + r.Below(900000))) +
                Element(L"LENGTH", L"120.5") + Element(L"START", L"0.1") + Element(L"END", L"118.25") +
                Element(L"PEAK", L"0.8") + Element(L"RMS", L"0.2") + L"\r\n</SONG>";
    }
    body += L"\r\n</LIBRARY>";
    return th::WriteFileBytes(path, th::XmlFile(body));
}

// The main window's part: takes the tree's reports and deletes the playlists of deleted nodes.
struct Host {
    double readyAt[2] = {0, 0};
    int states = 0;
    HWND window = nullptr;

    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && msg == WM_APP_LIBRARY_READY) {
            self->readyAt[wp ? 1 : 0] = th::Seconds();
            ++self->states;
            return 1;
        }
        if (self && msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == TVN_DELETEITEMW) {
            delete reinterpret_cast<CPlaylist*>(reinterpret_cast<NMTREEVIEWW*>(lp)->itemOld.lParam);
            return 0;
        }
        return DefWindowProcW(w, msg, wp, lp);
    }

    Host() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Host::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TreeBenchHost";
        RegisterClassExW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 300, 600,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ShowWindow(window, SW_SHOWNORMAL);
    }
    ~Host() { DestroyWindow(window); }
};

}  // namespace

int main() {
    th::TempDir dir;
    std::wstring path = dir.File(L"Library.xml");
    if (!WriteCatalogue(path)) {
        std::printf("cannot write the catalogue\n");
        return 1;
    }
    std::printf("catalogue: %d songs, %d artists, a tenth with a co-operating artist\n", kSongs, kArtists);

    // The parse alone, as the build thread drives it.
    std::vector<double> parse;
    {
        CLibrary library(path);
        for (int run = 0; run < kRuns; ++run) {
            double start = th::Seconds();
            library.Reload(CTreeBuild::kStepBudget);
            while (library.ParseStep()) library.GetProgress();
            parse.push_back(th::Seconds() - start);
        }
    }
    std::sort(parse.begin(), parse.end());
    std::printf("parse (Reload + ParseStep in steps of %d): best %.0f ms, median %.0f ms\n",
                CTreeBuild::kStepBudget, parse.front() * 1000, parse[kRuns / 2] * 1000);

    // The grouping alone: every song into its artist's or collaboration's playlist.
    {
        CLibrary library(path);
        library.Reload(0);
        double start = th::Seconds();
        CTreeBuild grouping(nullptr, nullptr, nullptr, &library, nullptr);
        for (int id = library.GetCount(); grouping.AddSong(id); --id) {
        }
        double grouped = th::Seconds() - start;
        size_t collaborations = 0;
        for (const CArtist* artist : grouping.GetArtists()) collaborations += artist->collaborations.size();
        std::printf("grouping (AddSong for every song): %.0f ms; %zu artist nodes, %zu collaboration nodes\n",
                    grouped * 1000, grouping.GetArtists().size(), collaborations);
    }

    Host host;
    // The control's own cost: as many nodes inserted on the window thread, all at the end of
    // their siblings, under one collapsed parent.
    {
        HWND control = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, 0, 0,
                                       300, 500, host.window, nullptr, GetModuleHandleW(nullptr), nullptr);
        TVINSERTSTRUCTW insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<wchar_t*>(L"Library");
        auto parent = reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
        std::wstring name = L"Artist name 12345";
        double start = th::Seconds();
        insert.hParent = parent;
        insert.item.pszText = name.data();
        for (int i = 0; i < kArtists + kArtists / 2; ++i)
            SendMessageW(control, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
        std::printf("the control alone: %d nodes inserted in %.0f ms\n", kArtists + kArtists / 2,
                    (th::Seconds() - start) * 1000);
        DestroyWindow(control);
    }

    // The whole build in a tree window, from StartBuild to the tree being ready.
    CPlaylists playlists;
    COLORREF text = 0, back = RGB(255, 255, 255), high = RGB(0, 0, 128);
    std::vector<double> totals, reads, builds, shutdowns;
    double workingBefore = 0, workingAfter = 0, privateBefore = 0, privateAfter = 0;
    for (int run = 0; run < kRuns; ++run) {
        CLibrary library(path);
        if (run == 0) {
            workingBefore = WorkingSetMb();
            privateBefore = PrivateMb();
        }
        auto tree = std::make_unique<CWndTree>(GetModuleHandleW(nullptr), host.window, dir.Path(), nullptr,
                                               &library, &playlists, nullptr, nullptr, &text, &back, &high);
        host.states = 0;
        double start = th::Seconds();
        tree->StartBuild();
        if (!th::PumpUntil([&] { return host.states == 2; }, 120000)) {
            std::printf("the build did not end\n");
            return 1;
        }
        totals.push_back(host.readyAt[1] - start);
        reads.push_back(host.readyAt[0] - start);
        builds.push_back(host.readyAt[1] - host.readyAt[0]);
        if (run == 0) {
            workingAfter = WorkingSetMb();
            privateAfter = PrivateMb();
            std::printf("nodes in the tree: %lu\n",
                        static_cast<unsigned long>(SendMessageW(tree->GetControl(), TVM_GETCOUNT, 0, 0)));
        }
        double stop = th::Seconds();
        tree.reset();
        shutdowns.push_back(th::Seconds() - stop);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2] * 1000;
    };
    auto best = [](std::vector<double> v) { return *std::min_element(v.begin(), v.end()) * 1000; };
    std::printf("StartBuild to ready: best %.0f ms, median %.0f ms over %d runs\n", best(totals), median(totals), kRuns);
    std::printf("  reading (StartBuild to WM_APP_LIBRARY_READY 0): best %.0f ms, median %.0f ms\n", best(reads),
                median(reads));
    std::printf("  grouping + node insertion + playlists (READY 0 to READY 1): best %.0f ms, median %.0f ms\n",
                best(builds), median(builds));
    std::printf("memory after the first build was ready: working set %.1f MB (%.1f MB before the tree), private %.1f MB (%.1f MB before)\n",
                workingAfter, workingBefore, privateAfter, privateBefore);
    std::printf("tree destruction (every node deleted, every playlist freed): median %.0f ms\n", median(shutdowns));
    return 0;
}
